# Sourced by the benchmark scripts: best_time N COMMAND... prints the best wall time in seconds of N runs.
best_time() {
    n=$1
    shift
    b=""
    i=0
    while [ "$i" -lt "$n" ]; do
        s=$(date +%s.%N)
        "$@" > /dev/null
        e=$(date +%s.%N)
        t=$(echo "$e - $s" | bc)
        if [ -z "$b" ] || [ "$(echo "$t < $b" | bc)" = 1 ]; then b=$t; fi
        i=$((i + 1))
    done
    echo "$b"
}
