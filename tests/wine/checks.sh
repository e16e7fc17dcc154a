# Counted checks of a Wine test script (sourced): `fail` reports one failed check and goes on,
# `finish` ends the script with 1 when any failed. $scenario names the test in every line.

failures=0

fail() {
    echo "FAIL: $scenario: $*" >&2
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$scenario: $failures check(s) failed" >&2
        exit 1
    fi
    echo "$scenario: passed"
}
