# Shared by the command-line test scripts: a scratch folder, counters and assertions.
# Source it after setting lv (the executable) and src (the source tree).
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0

pass() { passed=$((passed + 1)); }

fail() {
    echo "FAIL $1"
    failed=$((failed + 1))
}

# expect NAME STATUS EXPECTED_OUTPUT_SUBSTRING -- command...
expect() {
    local name="$1" want_status="$2" want_text="$3"
    shift 4
    local out status
    out=$("$@" 2>&1)
    status=$?
    if [ "$status" -ne "$want_status" ] || [[ "$out" != *"$want_text"* ]]; then
        fail "$name: status $status (want $want_status), output:"
        echo "$out" | head -20
        echo "  (wanted to contain: $want_text)"
    else
        pass
    fi
}

# finish LABEL: prints the counts and exits with the verdict.
finish() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
