#include "platform/textlines.h"

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
