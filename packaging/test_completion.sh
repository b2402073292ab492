#!/usr/bin/env bash
# The bash completion of quorvelctl, driven as bash drives it (COMP_WORDS, COMP_CWORD).
#   test_completion.sh COMPLETION-SCRIPT QUORVELCTL
# First against a stand-in program whose --help lists a command the real one may not
# have: the completion must take its commands from --help alone. Then against the real
# program, so that its help keeps the layout the completion reads.
set -uo pipefail
export LC_ALL=C # the expected lists are in byte order
script=$(realpath "$1") real=$(realpath "$2")
source "$script"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/files"
touch "$tmp/files/shop.slp" "$tmp/files/shop.imp"
cat >"$tmp/fakectl" <<'HELP'
#!/bin/sh
cat <<'TEXT'
usage: fakectl [--host ADDR] [--port N] [--trace] COMMAND ...

options:
  --host ADDR   vendor address (default 127.0.0.1)
  --port N      vendor TCP port (default 9004)
  --trace       print the communication trace
                on standard error
  --help        this text

commands:
  clock get                          print the vendor clock
  clock set now                      set the vendor clock to the PC's local time
  clock set YYYY-MM-DD HH:MM[:SS]    set the vendor clock to that time
  number set TEXT                    set the device number (filled up with spaces
                                     to six; at most six characters)
  mfp show                           print the paper parameters
  mfp set KIND FIELD=VALUE...        change one paper entry
  logo render LAYOUT.slp [-o WORKFILE] [--png FILE]
                                     render a layout file
  logo send FILE                     send FILE as the receipt logo

exit status: 0 success, 1 failure, 2 usage error
TEXT
HELP
chmod +x "$tmp/fakectl"

failures=0
# expect "LINE" "EXPECTED": LINE is the command line up to the cursor (a trailing space
# starts a new, empty word); EXPECTED is the sorted completions, blank-separated.
expect()
{
    local line=$1 want=$2
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _quorvelctl
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    got=${got% }
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$line' completed to '$got', expected '$want'"
        failures=$((failures + 1))
    fi
}

fake=$tmp/fakectl
cd "$tmp/files"
expect "$fake " "clock logo mfp number"
expect "$fake m" "mfp"
expect "$fake --trace --port 9005 " "clock logo mfp number"
expect "$fake --" "--help --host --port --trace"
expect "$fake --port " ""
expect "$fake clock " "get set"
expect "$fake clock set " "now"
expect "$fake mfp " "set show"
expect "$fake mfp set " ""
expect "$fake number set " ""
expect "$fake logo " "render send"
expect "$fake logo send " "shop.imp shop.slp"
expect "$fake logo render sh" "shop.imp shop.slp"
expect "$fake logo render shop.slp -" "--png -o"
expect "$fake logo render shop.slp -o " "shop.imp shop.slp"
expect "$fake clock get " ""
expect "$fake warp " ""

# The real program: its commands and options, read from its own --help.
expect "$real --v" "--version"
expect "$real clock " "get set"
expect "$real number " "get set"
expect "$real --j" "--jobs --json"
expect "$real --hosts sh" "shop.imp shop.slp"
expect "$real --hosts shop.imp --jobs 4 --json r.json " "clock logo mfp number"
expect "$real --jobs " ""
expect "$real logo render shop.slp --p" "--png"
read -ra COMP_WORDS <<<"$real "
COMP_WORDS+=("")
COMP_CWORD=1
_quorvelctl
for c in clock number logo; do
    [[ " ${COMPREPLY[*]} " == *" $c "* ]] || { echo "FAIL: '$c' missing from the first words: ${COMPREPLY[*]}"; failures=$((failures + 1)); }
done

((failures == 0)) && echo "all completions as expected"
exit $((failures != 0))
