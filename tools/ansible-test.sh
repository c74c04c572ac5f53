#!/usr/bin/env bash
# Builds the vornik.kkm collection, installs it from the tarball into a
# scratch collections path and runs its unit tests, the offline sanity checks
# (ansible-test sanity fetches its own tools from the network) and the
# integration against simulated registers with the real vornik-cli.
# Usage: tools/ansible-test.sh [BUILD_DIR]   (build/ by default; needs the
# vornik-cli and vornik-sim targets built). Installs its Debian packages when
# run as root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin
for p in vornik-cli vornik-sim; do
    [[ -x $bin/$p ]] || { echo "missing $bin/$p: build the vornik-cli and vornik-sim targets" >&2; exit 1; }
done

packages=(ansible-core yamllint pycodestyle python3-pytest python3-pytest-xdist python3-pytest-forked python3-pytest-mock)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
    [[ $(id -u) == 0 ]] || { echo "install first: apt-get install ${missing[*]}" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" > /dev/null ||
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" > /dev/null; }
fi

work=$(mktemp -d /tmp/vornik-ansible-XXXXXX)
source "$root/ansible/tests/integration/sims.sh"
trap 'stop_sims; rm -rf "$work"' EXIT
export ANSIBLE_COLLECTIONS_PATH=$work/collections ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_LOCALHOST_WARNING=0 ANSIBLE_INVENTORY_UNPARSED_WARNING=0 ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3
step() { echo "== $* ($(date +%T))"; }

step build and install
timeout 120 ansible-galaxy collection build "$root/ansible" --output-path "$work" > /dev/null
timeout 120 ansible-galaxy collection install "$work"/vornik-kkm-*.tar.gz -p "$work/collections" > /dev/null
installed=$work/collections/ansible_collections/vornik/kkm

step units
(cd "$installed" && timeout 600 ansible-test units --local --python 3.11 2>&1) | grep -v "^WARNING" | tail -4
# ansible-test finding no tests passes; a report without any test fails here.
grep -Eq 'tests="[1-9]' "$installed"/tests/output/junit/*.xml || { echo "no unit test ran" >&2; exit 1; }

step sanity
(cd "$installed" && find . -name '*.py' -print0 | xargs -0 timeout 60 /usr/bin/python3 -m py_compile)
(cd "$installed" && timeout 60 pycodestyle --max-line-length 160 --ignore E402,W503,W504,E741 plugins tests)
timeout 60 yamllint -d '{extends: default, rules: {line-length: {max: 160}, truthy: {check-keys: false}}}' \
    "$root/ansible"
timeout 120 /usr/bin/python3 "$root/ansible/tests/sanity/docs_match_args.py" "$work/collections"

step integration
SIM_SPEED=0 start_sims "${VORNIK_SIMS:-3}" "$work" "$bin"
play() { timeout 300 ansible-playbook -i "$work/inventory.ini" "$@" > "$work/play.log" 2>&1 || {
    cat "$work/play.log"
    echo "failed: ansible-playbook $*" >&2
    exit 1
}; }
it="$root/ansible/tests/integration"
play "$it/converge.yml" -e expect_changed=true
play "$it/converge.yml" -e expect_changed=false
state_sums "$work" > "$work/before.sums"
play "$it/converge.yml" -e expect_changed=true -e variant=2 --check --diff
state_sums "$work" > "$work/after.sums"
cmp -s "$work/before.sums" "$work/after.sums" || { echo "check mode changed a register" >&2; exit 1; }
play "$it/bad_price.yml"
step done
