#include "platform/textlines.h"

#include <algorithm>
#include <limits>

bool nextLine(std::string_view &content, std::string_view &line)
{
    if (content.empty())
        return false;
    const size_t lf = content.find('\n');
    line = content.substr(0, lf);
    content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

bool MatchKeyword(std::string_view line, std::string_view keyword)
{
    if (line.substr(0, keyword.size()) != keyword)
        return false;
    if (line.size() == keyword.size())
        return true;
    const char after = line[keyword.size()];
    return after == ' ' || after == ',';
}

int32_t ReadDecimal(std::string_view text, size_t *end)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min())
                                   : int64_t(std::numeric_limits<int32_t>::max());
    const size_t first = i;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min(limit, v * 10 + (text[i] - '0'));
    if (end)
        *end = i == first ? 0 : i;
    return int32_t(negative ? -v : v);
}
