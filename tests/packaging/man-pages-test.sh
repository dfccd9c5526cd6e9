#!/usr/bin/env bash
# The manual pages: groff reads them without a warning, and every option and command that the
# programs' own help texts name is in the page (a new option without its documentation fails).
# Usage: man-pages-test.sh MAN_DIR QEL CNCSIM QELVEVA
set -euo pipefail
man_dir=$1 qel=$2 cncsim=$3 qelveva=$4
failures=0

rendered() { groff -man -Tutf8 -P-cbou "$man_dir/$1" 2>/dev/null | sed 's/\xe2\x80\x90/-/g'; }

check_page() {
    local page=$1 help=$2
    local warnings
    warnings=$(groff -man -ww -z "$man_dir/$page" 2>&1 || true)
    if [ -n "$warnings" ]; then
        echo "FAIL: $page: groff warns: $warnings"
        failures=$((failures + 1))
    fi
    local text
    text=$(rendered "$page" | tr -s ' \n' ' ')
    local word
    for word in $(grep -oE -- '--[a-z][a-z-]*[a-z]' <<<"$help" | sort -u); do
        if ! grep -qF -- "$word" <<<"$text"; then
            echo "FAIL: $page does not mention $word"
            failures=$((failures + 1))
        fi
    done
}

qel_help=$("$qel" help)
check_page qel.1 "$qel_help"
# The commands of qel, and the words of config and ports.
qel_text=$(rendered qel.1)
for command in $(sed -n '/^COMMANDS/,/^Exit/p' <<<"$qel_help" | grep -oE '^  [a-z]+' | sort -u) \
    list show select new copy delete set json unset CABLOR_COM1 CABLOR_PORTS QELVEVA_CFG \
    QELVEVA_TRACE; do
    if ! grep -qw -- "$command" <<<"$qel_text"; then
        echo "FAIL: qel.1 does not mention $command"
        failures=$((failures + 1))
    fi
done
check_page cncsim.1 "$("$cncsim" --help)"
check_page QelVeva.1 "$(QT_QPA_PLATFORM=offscreen "$qelveva" --help)"
for variable in QELVEVA_CFG CABLOR_COM CABLOR_PORTS QELVEVA_TRACE; do
    if ! rendered QelVeva.1 | grep -q "$variable"; then
        echo "FAIL: QelVeva.1 does not mention $variable"
        failures=$((failures + 1))
    fi
done
if [ $failures -ne 0 ]; then exit 1; fi
echo "manual pages: complete"
