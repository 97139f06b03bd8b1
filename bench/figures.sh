#!/usr/bin/env bash
# Every figure of the speed table in one run, each beside its aim: the
# command and the benchmark's pass, the page in headless Chromium and
# Firefox ESR, the window. Each figure is the best of 3 runs.
#   bench/figures.sh [RELEASE-BUILD [WEB-BUILD...]]
# (default build/release and build/web; several web builds are measured
# one after the other in the same run, to compare them). Prints figures;
# it passes or fails nothing. The page needs tests/web/node_modules
# (cd tests/web && npm ci); the window needs what bench/window_figures.sh
# needs.
set -u
cd "$(dirname "$0")/.."
release=${1:-build/release}
if [ $# -ge 2 ]; then webs=("${@:2}"); else webs=(build/web); fi
runs=3
export CHROMIUM=${CHROMIUM:-/usr/bin/chromium} FIREFOX=${FIREFOX:-/usr/bin/firefox-esr}

now() { date +%s.%N; }
# Best of $runs wall-clock seconds of a command, its output discarded.
best() {
  local best='' start took
  for _ in $(seq $runs); do
    start=$(now)
    "$@" > /dev/null 2>&1 || { echo failed; return; }
    took=$(echo "$(now) - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then best=$took; fi
  done
  printf '%.3f' "$best"
}
# $1 / $2, or ? where either is not a figure.
ratio() {
  if [[ "$1" =~ ^[0-9.]+$ && "$2" =~ ^[0-9.]+$ ]] && [ "$(echo "$2 > 0" | bc)" = 1 ]; then
    printf '%.2f' "$(echo "scale=4; $1 / $2" | bc)"
  else
    echo '?'
  fi
}
row() { printf '%-58s %s\n' "$1" "$2"; }

echo "Orbelune's figures, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "processor: $(lscpu | sed -n 's/^Model name: *//p') (family $(lscpu | sed -n 's/^CPU family: *//p')," \
  "model $(lscpu | sed -n 's/^Model: *//p')), $(nproc) cores," \
  "AVX-512: $(grep -q avx512f /proc/cpuinfo && echo yes || echo no)"
echo "load at the start: $(uptime | sed 's/.*load average: //') (1, 5, 15 minutes)"
echo

# The command and the pass.
render=$release/orbelune-render
command2=$(best "$render" --digest)
command1=$(best "$render" --digest --threads 1)
pass1='' pass2=''
if [ -x "$release/bench/render_bench" ]; then
  bench=$("$release/bench/render_bench" 2> /dev/null)
  pass1=$(echo "$bench" | sed -n 's/^fast march, 1 thread  *\([0-9.]*\) s.*/\1/p')
  pass2=$(echo "$bench" | sed -n 's/^fast march, [0-9]* threads  *\([0-9.]*\) s.*/\1/p')
fi
echo "== the command and the pass ($release); load now $(uptime | sed 's/.*load average: //')"
row "orbelune-render --digest, default threads" "$command2 s"
row "orbelune-render --digest --threads 1" "$command1 s"
if [ -n "$pass2" ] && [ -n "$pass1" ]; then
  row "render_bench fast pass, default threads / 1 thread" "$pass2 s / $pass1 s"
  row "  command / pass, default threads (aim at most 1.15)" "$(ratio "$command2" "$pass2")"
  row "  command / pass, 1 thread (aim at most 1.15)" "$(ratio "$command1" "$pass1")"
  row "  pass, default threads (stretch: 0.1 s on 2 cores)" "$pass2 s"
  echo "  the pass split, as render_bench prints it, and for each kernel set:"
  echo "$bench" | sed -n '/^fast march, 1 thread, split/,/^  whole pass, [0-9]* threads/p' | sed 's/^/    /'
else
  row "render_bench" "not built ($release/bench/render_bench)"
fi
echo

# The page: its own "Computed in" and navigation to the digest shown. The
# web builds take their runs in turn, so that the machine's other work
# weighs on each alike.
declare -A pages
if [ -d tests/web/node_modules/puppeteer-core ]; then
  sites=()
  for web in "${webs[@]}"; do sites+=("$web/site"); done
  for browser in chromium firefox; do
    pages[$browser]=$(node bench/page_figures.js "$browser" $runs "${sites[@]}" 2>&1)
  done
fi
for web in "${webs[@]}"; do
  echo "== the page ($web/site); load now $(uptime | sed 's/.*load average: //')"
  if [ ! -d tests/web/node_modules/puppeteer-core ]; then
    echo "  not measured: no tests/web/node_modules (cd tests/web && npm ci)"
    continue
  fi
  for browser in chromium firefox; do
    lines=${pages[$browser]}
    echo "$lines" | grep '^#' | sed 's/^# /  /'
    if echo "$lines" | grep -q failed; then echo "$lines" | grep failed | sed 's/^/  /'; continue; fi
    value() {
      echo "$lines" | awk -v k="$1" -v t="$2" -v f="$3" -v s="$web/site" \
        '$1 == "page" && $3 == k && $4 == t && $9 == s {print $f}'
    }
    for kernels in wasm-simd scalar; do
      for threads in 1 2; do
        computed=$(value $kernels $threads 6) shown=$(value $kernels $threads 8)
        base=$command2 what="command"
        [ "$threads" = 1 ] && base=$command1 what="command --threads 1"
        aim=''
        [ "$kernels" = wasm-simd ] && aim=' (aims at most 2.5 / 3)'
        row "  $kernels, $threads worker$([ "$threads" = 2 ] && echo s): computed / shown" \
          "$computed s / $shown s = $(ratio "$computed" "$base") / $(ratio "$shown" "$base") x $what$aim"
        echo "$lines" | awk -v k=$kernels -v t=$threads -v s="$web/site" \
          '$1 == "timeline" && $3 == k && $4 == t && $5 == s' |
          sed 's/^timeline [^ ]* [^ ]* [^ ]* [^ ]* /    ms from navigation: /'
      done
      row "  $kernels, 2 workers over 1: computed / shown (aim at least 1.8)" \
        "$(ratio "$(value $kernels 1 6)" "$(value $kernels 2 6)") / $(ratio "$(value $kernels 1 8)" "$(value $kernels 2 8)")"
    done
    preview=$(echo "$lines" | awk -v s="$web/site" '$1 == "preview" && $7 == s {print $4 " ms, median " $6 " ms"}')
    row "  a drag's preview, wasm-simd, 2 workers kept: best of 10" "${preview:-not measured}"
    released=$(echo "$lines" | awk -v s="$web/site" '$1 == "release" && $7 == s {print $4 " ms, exact in " $6 " ms"}')
    row "  its release: the whole canvas (aim 150 ms), then exact" "${released:-not measured}"
    turn=$(echo "$lines" | awk -v s="$web/site" '$1 == "turn" && $11 == s {print $4 " s, computing " $6 " s, encoder busy " $8 " s, " $10 " bytes"}')
    row "  Save turn, 36 frames from the image's view" "${turn:-not measured}"
    played=$(echo "$lines" | awk -v s="$web/site" '$1 == "play" && $9 == s {print $4 " ms / " $6 " ms / " $8 " ms"}')
    row "  Play: moving / a loop / an exact loop (aims 2 s, 30 s)" "${played:-not measured}"
  done
  # The web module's pass split under node, where the build has the split.
  if [ -f "$web/bench/orbelune-web-parts.js" ]; then
    node bench/web_parts.js "$web" $runs 2>&1 | sed 's/^/  /'
  fi
  echo
done

# The window: launch to the complete image, beside the headless render
# with its PNG.
echo "== the window ($release/orbelune); load now $(uptime | sed 's/.*load average: //')"
# ---- WINDOW ROW -------------------------------------------------------------
# bench/window_figures.sh: launch to the complete image as the program
# reports it (best of 3, nothing polling the screen), beside
# `orbelune-render -o FILE`, and where the time goes. Aim: at most 1.5 times.
if [ -x "$release/orbelune" ] && command -v Xvfb > /dev/null; then
  bench/window_figures.sh "$release/orbelune" "$render" 2>&1 | sed 's/^/  /'
else
  row "window" "not measured (no $release/orbelune, or no Xvfb)"
fi
# ---- end of the window row ------------------------------------------------
echo
echo "load at the end: $(uptime | sed 's/.*load average: //')"
