# Simulated registers for the integration and the benchmark; sourced.
# start_sims N DIR BIN: N vornik-sim registers, each in DIR/simK with its own
# state file (off-line, so they take goods, serial numbers apart) and the
# link DIR/ports/COMK, and an inventory DIR/inventory.ini naming each as host
# regK. stop_sims ends them.
SIM_PIDS=()

start_sims() {
    local n=$1 dir=$2 bin=$3 k
    {
        echo "[registers]"
        for ((k = 1; k <= n; k++)); do
            local d=$dir/sim$k
            mkdir -p "$d"
            printf '{"identity": {"mode": 2, "model": "ЗЕВРИН-101Ф", "serialNumber": "%012d", "version": "ver012"}}\n' \
                "$k" > "$d/state.json"
            (cd "$dir" && exec "$bin/vornik-sim" --com "$k" --speed "${SIM_SPEED:-19200}" --state "$d/state.json" \
                > "$d/out" 2> "$d/err") &
            SIM_PIDS+=($!)
            echo "$!" > "$d/pid"
            local waited=0
            until [[ -s $d/out ]]; do
                ((waited++ < 100)) || { echo "simulator $k did not start: $(cat "$d/err")" >&2; return 1; }
                sleep 0.05
            done
            echo "reg$k vornik_device=$(head -1 "$d/out") sim_dir=$d"
        done
        echo
        echo "[registers:vars]"
        echo "ansible_connection=local"
        echo "ansible_python_interpreter=/usr/bin/python3"
        echo "vornik_cli=$bin/vornik-cli"
        echo "sims_dir=$dir"
    } > "$dir/inventory.ini"
}

stop_sims() {
    local pid
    for pid in "${SIM_PIDS[@]}"; do
        ((pid > 0)) && kill "$pid" 2> /dev/null
    done
    for pid in "${SIM_PIDS[@]}"; do
        ((pid > 0)) && wait "$pid" 2> /dev/null
    done
    SIM_PIDS=()
}

# Every simulator saves its state now; prints one checksum line per register.
state_sums() {
    local dir=$1 d waited
    for d in "$dir"/sim*/; do
        local pid
        pid=$(cat "$d/pid")
        ((pid > 0)) || return 1
        rm -f "$d/state.json"
        kill -USR1 "$pid"
    done
    for d in "$dir"/sim*/; do
        waited=0
        until [[ -s $d/state.json ]]; do
            ((waited++ < 100)) || { echo "simulator in $d saved no state" >&2; return 1; }
            sleep 0.05
        done
        sha256sum "$d/state.json"
    done
}
