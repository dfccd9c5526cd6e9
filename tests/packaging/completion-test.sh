#!/usr/bin/env bash
# The bash completion of qel: commands, options, the words of config and ports, and the
# configuration names that qel itself lists. Usage: completion-test.sh COMPLETION QEL_DIR
set -euo pipefail
completion=$1
export PATH="$2:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QELVEVA_CFG="$work/QelVeva.cfg"
qel config new "Lathe 2" >/dev/null 2>&1
qel config new Mill >/dev/null 2>&1

# shellcheck source=/dev/null
source "$completion"
failures=0
# expect "WORDS OF THE LINE" "EXPECTED REPLIES, ONE PER LINE"; the last word is being completed.
expect() {
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _qel
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    local want
    want=$(printf '%s' "$2" | sort)
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$1'"
        echo "  expected: $(echo "$want" | tr '\n' '|')"
        echo "  got:      $(echo "$got" | tr '\n' '|')"
        failures=$((failures + 1))
    fi
}
nl=$'\n'
expect "qel re" "receive"
expect "qel -c Mill s" "send${nl}serve"
expect "qel --ip 10.0.0.2 p" "ports"
expect "qel receive --" "--as${nl}--yes-all${nl}--no-replace${nl}--verify"
expect "qel receive PR" ""
expect "qel config " "list${nl}show${nl}select${nl}new${nl}copy${nl}delete${nl}set${nl}--help"
expect "qel config select " "Default${nl}Command line${nl}Lathe 2${nl}Mill"
expect "qel config show L" "Lathe 2"
expect "qel config set Mill time" "timeout="
expect "qel -c " "Default${nl}Command line${nl}Lathe 2${nl}Mill"
expect "qel ports " "--json${nl}set${nl}unset"
expect "qel ports set CO" "COM1${nl}COM2${nl}COM3${nl}COM4"
expect "qel serve --a" "--allow"
if [ $failures -ne 0 ]; then exit 1; fi
echo "completion: all cases passed"
