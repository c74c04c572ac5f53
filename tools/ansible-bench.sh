#!/usr/bin/env bash
# Times the example chain playbook (ansible/playbooks/chain.yml: departments
# and goods prices) against simulated registers paced at 19200 baud: the first
# run (everything changes), the second (nothing does) and check mode; then a
# shell loop of vornik-cli pushing the same departments and goods to fresh
# registers one after another, twice. Figures for docs/PERFORMANCE.md.
# Usage: tools/ansible-bench.sh [BUILD_DIR]; REGISTERS (20) and FORKS (10).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin
n=${REGISTERS:-20}
forks=${FORKS:-10}
work=$(mktemp -d /tmp/vornik-bench-XXXXXX)
source "$root/ansible/tests/integration/sims.sh"
trap 'stop_sims; rm -rf "$work"' EXIT
export ANSIBLE_COLLECTIONS_PATH=$work/collections ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3
ansible-galaxy collection build "$root/ansible" --output-path "$work" > /dev/null
ansible-galaxy collection install "$work"/vornik-kkm-*.tar.gz -p "$work/collections" > /dev/null
books=$root/ansible/playbooks

# Seconds the command took; its output in $work/out, shown when it fails.
timed() {
    local start end
    start=$(date +%s.%N)
    timeout 600 "$@" > "$work/out" 2>&1 || { cat "$work/out" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }'
}
# Hosts of the last run whose recap says changed=N.
recap() { grep -c "changed=$1 " "$work/out" || true; }
row() { awk -v l="$1" -v t="$2" -v n="$n" -v c="$3" 'BEGIN { printf "| %s | %.1f s | %.2f s | %s |\n", l, t, t / n, c }'; }

start_sims "$n" "$work" "$bin"
play=(ansible-playbook -i "$work/inventory.ini" -f "$forks" "$books/chain.yml" -e chain_hosts=registers)
echo "| run | all $n registers | per register | hosts changed |"
echo "|---|---|---|---|"
t=$(timed "${play[@]}"); row "playbook, first run" "$t" "$(recap 2)/$n"
t=$(timed "${play[@]}"); row "playbook, second run" "$t" "$(recap 0)/$n with changed=0"
t=$(timed "${play[@]}" --check); row "playbook, check mode" "$t" "$(recap 0)/$n with changed=0"

# The same departments (the rest closed) and goods with the tool alone.
/usr/bin/python3 - "$books/vars/chain.yml" > "$work/departments.json" << 'EOF'
import json, sys, yaml
want = dict((d['number'], d) for d in yaml.safe_load(open(sys.argv[1]))['chain_departments'])
closed = dict(kind='closed', name='', taxGroup='-', price='0.00')
print(json.dumps([dict(want.get(n, closed), number=n) for n in range(1, 9)], ensure_ascii=False))
EOF
stop_sims
rm -rf "$work"/sim*
start_sims "$n" "$work" "$bin"
loop() {
    local d
    for d in $(sed -n 's/.*vornik_device=\([^ ]*\).*/\1/p' "$work/inventory.ini"); do
        "$bin/vornik-cli" --json --device "$d" departments set "$work/departments.json" || return 1
        "$bin/vornik-cli" --json --device "$d" goods write-all "$books/files/prices.csv" || return 1
    done
}
export -f loop
export work bin books
t=$(timed bash -c loop); row "shell loop, first run" "$t" "-"
t=$(timed bash -c loop); row "shell loop, second run" "$t" "-"
