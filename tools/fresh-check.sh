#!/usr/bin/env bash
# Runs the README's set-up commands as a new user would, on a freshly
# bootstrapped minimal Debian root, so that a missing install step shows even
# where the machine already has the package:
#   - the run command (install, build, start the demo) with the window
#     offscreen, until the configurator logs "Старт";
#   - the whole test command (install, build, ctest, then the hardening,
#     Windows and fleet checks), with every skipped test and its reason after
#     ctest: a skip for want of a package fails.
# The root is built with debootstrap in a scratch folder, gets /proc and /dev
# mounted and a clone of the repository's committed HEAD in /root/vornik.
# Nothing is cached between runs. Whatever was mounted is unmounted on any
# exit, and the scratch folder is removed only when nothing is mounted under
# it any more.
# Usage (as root): tools/fresh-check.sh
# Environment: FRESH_DIR parent of the scratch folder (/var/tmp), FRESH_MIRROR
# the Debian mirror (debootstrap's default), FRESH_KEEP=1 keeps the root.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
suite=bookworm
inside=/root/vornik
start_wait=180   # seconds the started configurator has to log "Старт"
start_mark=$(printf '\321\362\340\360\362')  # "Старт" in code page 1251, as the log has it

[ "$(id -u)" -eq 0 ] || { echo "fresh-check: run as root (it builds and mounts a root)" >&2; exit 2; }
for tool in debootstrap chroot git setsid; do
  command -v "$tool" >/dev/null || { echo "fresh-check: $tool is missing; run tools/bootstrap.sh" >&2; exit 2; }
done

work=$(mktemp -d "${FRESH_DIR:-/var/tmp}/vornik-fresh-XXXXXX")
root=$work/root
src=$root$inside
checked="(none)"   # the commit under check, once cloned
mounted=()         # mount points in the order they were made
summary=()         # one line per step
checked_rc=1
t_all=$SECONDS
root_env=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
for v in http_proxy https_proxy no_proxy; do [ -z "${!v:-}" ] || root_env+=("$v=${!v}"); done

# Mount points at or under a folder, as /proc/mounts lists them.
mounts_under() {
  awk -v p="$1" '$2 == p || index($2, p "/") == 1 { print $2 }' /proc/mounts
}

# Processes whose root is the scratch root: only what this script started there.
stop_root_processes() {
  local p link
  for p in /proc/[0-9]*; do
    link=$(readlink "$p/root" 2>/dev/null) || continue
    if [ "$link" = "$root" ] || [ "${link#"$root"/}" != "$link" ]; then
      kill -KILL "${p#/proc/}" 2>/dev/null || true
    fi
  done
}

print_summary() {
  echo
  echo "== fresh-check summary (commit $checked, Debian $suite)"
  local line
  for line in "${summary[@]}"; do echo "$line"; done
  printf '%6d s       fresh-check, in all\n' $((SECONDS - t_all))
}

cleanup() {
  local rc=$? i left lazy=0
  set +e
  [ "$checked_rc" -eq 0 ] || [ "$rc" -ne 0 ] || rc=1
  stop_root_processes
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" && continue
    sleep 2
    stop_root_processes
    umount "${mounted[i]}" && continue
    echo "fresh-check: ${mounted[i]} stays busy; detaching it lazily" >&2
    umount -l "${mounted[i]}" && lazy=1
  done
  left=$(mounts_under "$work")
  if [ -n "$left" ] || [ "$lazy" -eq 1 ]; then
    echo "fresh-check: still mounted under $work, so it is left in place:" >&2
    echo "${left:-(detached lazily)}" >&2
    rc=1
  elif [ "${FRESH_KEEP:-0}" = 1 ]; then
    echo "fresh-check: the root is kept in $root"
  else
    rm -rf "$work"
  fi
  print_summary
  if [ "$rc" -eq 0 ]; then echo "fresh-check passed"; else echo "fresh-check FAILED"; fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# step NAME COMMAND...: runs and times one step. The step functions return
# on the first failure themselves (errexit does not reach inside them here).
step() {
  local name=$1 t0=$SECONDS rc=0
  shift
  echo
  echo "== $name ($(date -u +%H:%M:%S))"
  "$@" || rc=$?
  summary+=("$(printf '%6d s  %-4s %s' $((SECONDS - t0)) "$([ $rc -eq 0 ] && echo ok || echo FAIL)" "$name")")
  return $rc
}

bind() {  # bind FROM TO: a private bind mount, so nothing propagates back to the host
  mount --bind "$1" "$2" || return
  mounted+=("$2")
  mount --make-private "$2"
}

make_root() {
  # shellcheck disable=SC2086  # no mirror given: debootstrap's default
  debootstrap --variant=minbase "$suite" "$root" ${FRESH_MIRROR:-} || return
  # A machine has /etc/hosts from its installer or image; debootstrap copies
  # resolv.conf and hostname but no hosts file, and without one "localhost"
  # resolves nowhere (the browser test reaches its driver as localhost). The
  # root shares this machine's network, so it gets this machine's file.
  [ -e "$root/etc/hosts" ] || cp /etc/hosts "$root/etc/hosts" 2>/dev/null ||
    printf '127.0.0.1\tlocalhost\n' >"$root/etc/hosts"
}

# The root is a mount point as on a real machine (tests that make a read-only
# bind mount need one), then /proc and /dev with its pseudo-terminals.
mount_root() {
  bind "$root" "$root" || return
  mount -t proc proc "$root/proc" || return
  mounted+=("$root/proc")
  bind /dev "$root/dev" || return
  bind /dev/pts "$root/dev/pts" || return
  bind /dev/shm "$root/dev/shm"
}

clone_head() {
  [ -z "$(git -C "$repo" status --porcelain)" ] || echo "note: uncommitted changes are not part of this check"
  git init --quiet "$src" &&
    git -C "$src" fetch --quiet --depth 1 "file://$repo" HEAD &&
    git -C "$src" checkout --quiet --detach FETCH_HEAD &&
    checked=$(git -C "$src" rev-parse --short HEAD)
}

# in_repo COMMAND_LINE: as root in the repository's folder inside the root,
# with the bare environment of a fresh login.
in_repo() { chroot "$root" /usr/bin/env -i "${root_env[@]}" bash -c "cd $inside && $1"; }

# The parts of a README command joined by " && ", one per line (the README's
# commands keep "&&" out of quotes).
split_command() {
  awk '{ n = split($0, part, / && /); for (i = 1; i <= n; i++) print part[i] }' <<<"$1"
}

# The configurator, started as the run command's last part, logs "Старт"
# (code page 1251, beside the program or in the working directory), is still
# running a moment later, and is then stopped.
start_program() {
  local program=$1 out=$work/program.out pid i started=0
  setsid chroot "$root" /usr/bin/env -i "${root_env[@]}" QT_QPA_PLATFORM=offscreen \
    bash -c "cd $inside && exec $program" >"$out" 2>&1 </dev/null &
  pid=$!
  for ((i = 0; i < start_wait * 2; i++)); do
    if LC_ALL=C grep -qsF "$start_mark" "$src/build/bin/vornik-config.log" "$src/vornik-config.log"; then
      started=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  sleep 2
  if [ "$started" -eq 1 ] && ! kill -0 "$pid" 2>/dev/null; then
    echo "the configurator logged Старт but did not keep running"
    started=0
  fi
  kill -TERM -- "-$pid" 2>/dev/null || true
  for ((i = 0; i < 20; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -KILL -- "-$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ "$started" -eq 0 ]; then
    echo "the configurator did not log Старт within $start_wait s; its output:"
    cat "$out"
    return 1
  fi
  echo "the configurator started and logged Старт"
}

# ctest, with a second chance for the tests that failed (the link tests are
# timing-sensitive on a loaded machine; a missing package fails both times).
run_ctest() {
  in_repo "$1" && return 0
  echo "== running the failed tests once more"
  in_repo "ctest --test-dir build --rerun-failed --output-on-failure"
}

# Every skipped test with its reason. Only what a chroot cannot give may be
# skipped; anything else is a missing install step.
read_skips() {
  local log=$src/build/Testing/Temporary/LastTest.log skips bad
  [ -f "$log" ] || { echo "no test log at $log"; return 1; }
  skips=$(awk '
    /^\[ RUN      \]/ { name = $4; msg = ""; skipped = 0 }
    / Skipped$/ { skipped = 1; next }
    skipped && /^\[  SKIPPED \]/ { print name ": " msg; skipped = 0; next }
    skipped { msg = msg (msg == "" ? "" : " ") $0 }' "$log")
  if [ -z "$skips" ]; then
    echo "no test skipped"
    return 0
  fi
  echo "skipped tests:"
  echo "$skips"
  bad=$(grep -v "read-only bind mount" <<<"$skips" || true)
  [ -z "$bad" ] || { echo "skipped for want of something a package could provide:"; echo "$bad"; return 1; }
}

step "debootstrap $suite (minbase)" make_root
step "mount /proc, /dev" mount_root
step "clone HEAD into $inside" clone_head

run_cmd=$(sh "$src/tools/readme-command.sh" run "$src/README.md")
test_cmd=$(sh "$src/tools/readme-command.sh" test "$src/README.md")
mapfile -t run_parts < <(split_command "$run_cmd")
mapfile -t test_parts < <(split_command "$test_cmd")

t_run=$SECONDS
for part in "${run_parts[@]:0:${#run_parts[@]}-1}"; do
  step "run command: $part" in_repo "$part"
done
step "run command: ${run_parts[-1]} (until Старт)" start_program "${run_parts[-1]}"
summary+=("$(printf '%6d s       first start, in all' $((SECONDS - t_run)))")

t_test=$SECONDS
ran_ctest=0
for part in "${test_parts[@]}"; do
  if [ "${part#ctest }" != "$part" ]; then
    step "test command: $part" run_ctest "$part"
    step "skipped tests" read_skips
    ran_ctest=1
  else
    step "test command: $part" in_repo "$part"
  fi
done
[ "$ran_ctest" -eq 1 ] || { echo "the README's test command runs no ctest" >&2; exit 1; }
summary+=("$(printf '%6d s       test command, in all' $((SECONDS - t_test)))")
checked_rc=0
