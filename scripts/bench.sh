#!/usr/bin/env bash
# What the launchers cost around msiexec, measured under Wine and printed as
# one table (figure, goal, measured, pass or miss). Takes several minutes; it
# is not part of scripts/test.sh.
#
#   bash scripts/bench.sh            (BENCH_RUNS=5 runs per figure by default)
#
# Everything it makes stays in build/bench: a kessa-setup variant that
# carries a 200 MB runtime package (random data, packed by wixl), a base Wine
# prefix, and a fresh copy of that prefix for every single run. Pairs of
# programs (A and B) run alternately; each figure is the median of its runs.
# Tools: the project's own programs, wixl, /proc and the shell's clock.
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"
wine_session_no_aslr "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-5}
idle_seconds=${BENCH_IDLE_SECONDS:-20}
jobs=4

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target kessa-setup vindel-setup sample_packages >/dev/null

release="$root/build/release"
packages="$release/packages"
bench="$root/build/bench"
mkdir -p "$bench"

# --- the 200 MB package and the kessa-setup that carries it ------------------
payload_dir="$bench/payload"
big_msi="$bench/big_runtime.msi"
if [ ! -s "$big_msi" ]; then
  mkdir -p "$payload_dir"
  head -c 209715200 /dev/urandom > "$payload_dir/payload.bin"
  cat > "$payload_dir/big_runtime.wxs" <<'WXS'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{5B0E7A61-3C2D-4F18-9E4A-7D6C1B2A9F30}" Name="Tolva Benchmark Payload" Language="1033"
           Version="1.0.0.0" Manufacturer="TolvaSoft" UpgradeCode="{0C9D4E21-6A7B-4C3D-8E5F-1A2B3C4D5E6F}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="payload.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="TolvaBenchPayload">
          <Component Id="Payload" Guid="{9A8B7C6D-5E4F-4A3B-2C1D-0E9F8A7B6C5D}" Win64="yes">
            <File Id="payload.bin" Name="payload.bin" Source="payload.bin" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1">
      <ComponentRef Id="Payload"/>
    </Feature>
  </Product>
</Wix>
WXS
  (cd "$payload_dir" && wixl -a x64 -o "$big_msi.part" big_runtime.wxs)
  mv "$big_msi.part" "$big_msi"
  rm -f "$payload_dir/payload.bin"
  rm -rf "$bench/release"  # its resources name the package by path only
fi

# The same release build in a folder of its own, its sample_packages.h
# naming the big package as the runtime package.
big_build="$bench/release"
cmake -S "$root" -B "$big_build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s -DBUILD_TESTING=OFF -DTDS_TEST_BUILD=OFF \
  -DTDS_PACKAGES_HEADER_DIR="$bench/include" >/dev/null
mkdir -p "$bench/include"
sed "s|^#define TDS_SAMPLE_RUNTIME_MSI_HOST_PATH .*|#define TDS_SAMPLE_RUNTIME_MSI_HOST_PATH \"$big_msi\"|" \
  "$big_build/packages/sample_packages.h" > "$bench/include/sample_packages.h.new"
if cmp -s "$bench/include/sample_packages.h.new" "$bench/include/sample_packages.h"; then
  rm "$bench/include/sample_packages.h.new"
else
  mv "$bench/include/sample_packages.h.new" "$bench/include/sample_packages.h"
fi
cmake --build "$big_build" -j "$jobs" --target kessa-setup >/dev/null

small_exe="$release/bin/kessa-setup.exe"
big_exe="$big_build/bin/kessa-setup.exe"
progress_action="$packages/programs/setup_progress_action.exe"

# --- numbers -------------------------------------------------------------------
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

# --- Wine: one Xvfb, a base prefix, a fresh copy per run -----------------------
wine_session_start "$bench"
base="$WINEPREFIX"
"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -w >/dev/null 2>&1 || true

run_prefix="$bench/run-prefix"
fresh_prefix() {
  rm -rf "$run_prefix"
  cp -a "$base" "$run_prefix"
  export WINEPREFIX="$run_prefix"
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
}
end_prefix() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  export WINEPREFIX="$base"
  rm -rf "$run_prefix"
}
log_file() { find "$WINEPREFIX/drive_c/users" -name tusched.log 2>/dev/null | head -n 1; }
wait_for_log() {  # text, seconds
  local i
  for i in $(seq $(( $2 * 10 ))); do
    local log; log=$(log_file)
    [ -n "$log" ] && grep -q "$1" "$log" && return 0
    sleep 0.1
  done
  return 1
}
private_kb() { awk '/^Private_(Clean|Dirty)/ { s += $2 } END { print s }' "/proc/$1/smaps_rollup"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

echo "== private memory: kessa-setup with the 200 MB package (A) and with the sample (B)" >&2
mem_a=(); mem_b=()
memory_run() {  # exe
  fresh_prefix
  "$WINELOADER" "$1" TEST_PROGRESS_DIALOG=1 >/dev/null 2>&1 </dev/null &
  local pid=$!
  # The test switch holds the program in its progress page before any
  # package is written; the figure is taken once it has settled there.
  wait_for_log "Wrapper Load ConfigSettings" 30 || { echo "no start" >&2; }
  sleep 2
  private_kb "$pid"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  end_prefix
}
for i in $(seq "$runs"); do
  mem_a+=("$(memory_run "$big_exe")")
  mem_b+=("$(memory_run "$small_exe")")
done

echo "== idle CPU: the progress window follows a running operation" >&2
idle=()
for i in $(seq 3); do
  fresh_prefix
  "$WINELOADER" "$small_exe" TEST_PROGRESS_DIALOG=1 >/dev/null 2>&1 </dev/null &
  pid=$!
  wait_for_log "Wrapper Load ConfigSettings" 30 || true
  sleep 1
  # The package's own reporter shows the window and starts operation 1: the
  # record is polled every 100 ms and the bar's timer ticks every 100 ms.
  "$WINELOADER" "$(winepath_w "$progress_action")" --started 1:1 >/dev/null 2>&1 </dev/null
  sleep 2
  t0=$(cpu_ticks "$pid")
  sleep "$idle_seconds"
  t1=$(cpu_ticks "$pid")
  idle+=("$(calc "%.3f" "($t1 - $t0) * 100 / $(getconf CLK_TCK) / $idle_seconds")")
  import -window root "$bench/progress-window.png" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  end_prefix
done

echo "== silent install: kessa-setup.exe /s (A) and bare msiexec runs (B)" >&2
inst_a=(); inst_b=()
for i in $(seq "$runs"); do
  fresh_prefix
  t0=$(now_ms)
  "$WINELOADER" "$small_exe" /s >/dev/null 2>&1 </dev/null || true
  t1=$(now_ms)
  inst_a+=("$((t1 - t0))")
  end_prefix
  fresh_prefix
  t0=$(now_ms)
  "$WINELOADER" msiexec /i "$(winepath_w "$packages/sample_runtime.msi")" /qn >/dev/null 2>&1 </dev/null || true
  "$WINELOADER" msiexec /i "$(winepath_w "$packages/sample_auto_update.msi")" /qn >/dev/null 2>&1 </dev/null || true
  t1=$(now_ms)
  inst_b+=("$((t1 - t0))")
  end_prefix
done

echo "== writing the package: kessa-setup (A) and CopyFile by cmd's copy (B), 200 MB" >&2
write_a=(); write_b=()
log_ms() {  # the time of a log line's header, in ms of the day
  sed -n 's/^\[[0-9/]* \([0-9]*\):\([0-9]*\):\([0-9]*\)\.\([0-9]*\),.*/\1 \2 \3 \4/p' |
    awk '{ print (($1 * 60 + $2) * 60 + $3) * 1000 + $4 }'
}
for i in $(seq "$runs"); do
  fresh_prefix
  # Without msiexec's location the run ends (-3) right after the package is
  # written; the log's next line stamps the end of the write.
  "$WINELOADER" reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer' \
    /v InstallerLocation /f >/dev/null 2>&1 </dev/null || true
  "$WINELOADER" "$big_exe" /s >/dev/null 2>&1 </dev/null || true
  log=$(log_file)
  start=$(grep -B1 "Wrapper: Extract MSI" "$log" | head -n 1 | log_ms)
  end=$(grep -A2 "Wrapper: Extract MSI" "$log" | sed -n 2p | log_ms)
  written=$(find "$WINEPREFIX/drive_c/users" -path '*Brask/Tolva/kessa*' -name 'kessa*.msi' -exec stat -c %s {} \; |
    head -n 1)
  [ "$written" = "$(stat -c %s "$big_msi")" ] || echo "the package was not written whole (${written:-no} bytes)" >&2
  write_a+=("$((end - start))")
  end_prefix
  fresh_prefix
  dest='C:\users\Public\copy.msi'
  small="$(winepath_w "$packages/sample_runtime.msi")"
  # The prefix's first program also starts Wine's services; not timed.
  "$WINELOADER" cmd /c exit 0 >/dev/null 2>&1 </dev/null || true
  t0=$(now_ms)
  "$WINELOADER" cmd /c copy /b /y "$small" "$dest" >/dev/null 2>&1 </dev/null || true
  t1=$(now_ms)
  "$WINELOADER" cmd /c copy /b /y "$(winepath_w "$big_msi")" "$dest" >/dev/null 2>&1 </dev/null || true
  t2=$(now_ms)
  copied=$(stat -c %s "$WINEPREFIX/drive_c/users/Public/copy.msi" 2>/dev/null || echo 0)
  [ "$copied" = "$(stat -c %s "$big_msi")" ] || echo "the copy is incomplete ($copied bytes)" >&2
  # The copy of the small sample stands for cmd's own start.
  write_b+=("$(( (t2 - t1) - (t1 - t0) ))")
  end_prefix
done
wine_session_stop

# --- sizes -----------------------------------------------------------------------
size_of() { stat -c %s "$1"; }
kessa_packages=$(( $(size_of "$packages/sample_runtime.msi") + $(size_of "$packages/sample_auto_update.msi") ))
vindel_packages=$(( $(size_of "$packages/sample_kit.msi") + $(size_of "$packages/sample_auto_update.msi") ))
for cab in "$packages"/kit_cabs/*.cab; do vindel_packages=$(( vindel_packages + $(size_of "$cab") )); done
kessa_size=$(( $(size_of "$small_exe") - kessa_packages ))
vindel_size=$(( $(size_of "$release/bin/vindel-setup.exe") - vindel_packages ))

# --- the table ---------------------------------------------------------------------
mem_a_m=$(printf '%s\n' "${mem_a[@]}" | median)
mem_b_m=$(printf '%s\n' "${mem_b[@]}" | median)
mem_growth=$(calc "%.2f" "($mem_a_m - $mem_b_m) / 1000")
idle_m=$(printf '%s\n' "${idle[@]}" | median)
inst_a_m=$(printf '%s\n' "${inst_a[@]}" | median)
inst_b_m=$(printf '%s\n' "${inst_b[@]}" | median)
inst_ratio=$(calc "%.2f" "$inst_a_m / $inst_b_m")
write_a_m=$(printf '%s\n' "${write_a[@]}" | median)
write_b_m=$(printf '%s\n' "${write_b[@]}" | median)
write_ratio=$(calc "%.2f" "$write_b_m / $write_a_m")
verdict() { if awk "BEGIN { exit !($1) }"; then echo pass; else echo miss; fi; }

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo
echo "Machine: $cpu, $(nproc) cores; $("$WINELOADER" --version 2>/dev/null || echo wine); runs per pair: $runs (idle CPU: 3 x ${idle_seconds} s)"
printf '%-50s %-10s %-34s %s\n' "figure" "goal" "measured" "result"
printf '%-50s %-10s %-34s %s\n' "kessa-setup size without packages" "<= 1.5 MB" \
  "$(calc "%.2f MB" "$kessa_size / 1000000")" "$(verdict "$kessa_size <= 1500000")"
printf '%-50s %-10s %-34s %s\n' "vindel-setup size without packages" "<= 1.5 MB" \
  "$(calc "%.2f MB" "$vindel_size / 1000000")" "$(verdict "$vindel_size <= 1500000")"
printf '%-50s %-10s %-34s %s\n' "private memory, 200 MB package (A) - sample (B)" "< 2 MB" \
  "$mem_growth MB (A $(calc "%.1f" "$mem_a_m / 1000") / B $(calc "%.1f" "$mem_b_m / 1000") MB)" \
  "$(verdict "$mem_growth < 2")"
printf '%-50s %-10s %-34s %s\n' "idle CPU, progress window (one core)" "< 1 %" "$idle_m %" \
  "$(verdict "$idle_m < 1")"
printf '%-50s %-10s %-34s %s\n' "silent install, kessa-setup /s (A) / msiexec (B)" "<= 1.15x" \
  "${inst_ratio}x (A $(calc "%.2f" "$inst_a_m / 1000") / B $(calc "%.2f" "$inst_b_m / 1000") s)" \
  "$(verdict "$inst_ratio <= 1.15")"
printf '%-50s %-10s %-34s %s\n' "package write speed, CopyFile (B) / ours (A)" "measured" \
  "${write_ratio}x (A $(calc "%.2f" "$write_a_m / 1000") / B $(calc "%.2f" "$write_b_m / 1000") s)" "-"
