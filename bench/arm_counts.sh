#!/bin/sh
# Counts what the show costs on the handheld, stage by stage and kernel by
# kernel: ARM instructions, and cycles under a model of the ARM920T, against
# the budget of a 200 MHz ARM920T at 60 Hz (3.33 million cycles a frame).
#
#   bench/arm_counts.sh [WORK_DIR]      (default: build-arm-counts in the source tree)
#
# How: the show core is cross-built exactly as for nyra1.gpe (the gp2x
# toolchain file, Release). Two small counting programs are linked with it in
# place of the handheld backend (bench/arm/): the register block and frame
# buffers are plain memory, the sync bit changes on every read, so no time is
# spent waiting and a count holds only work. show_counts plays the whole show;
# kernel_counts calls each kernel alone; both are built with nyra1.gpe. They run under
# qemu-arm -cpu ti925t (an ARMv4T CPU) with bench/qemu/insn_count.cpp, a
# plugin that counts every instruction executed and logs the count at markers
# the programs place (at every vertical sync and START poll, around every
# kernel call); it also counts the instructions spent in each module's own
# functions. show_counts runs a second time with bench/qemu/cycle_model.cpp,
# which turns every frame into ARM920T cycles (caches, write buffer, TLBs,
# core timing) and notes which instructions stall. bench/arm_report turns the
# logs into the tables. A third program,
# show_check, prints the CRC-32 of the picture on display at every refresh;
# they must equal those of the PC build (show_checksum --pixels --all), so
# that code paths written for ARM alone are checked too.
#
# Needs: arm-linux-gnueabi-g++ and binutils, qemu-arm (with plugin support,
# as Debian's qemu-user has), cmake, a host compiler. NYRA1_ASSET_DIR selects
# another asset folder. Extra arguments for arm_report (e.g. --strict) go in
# ARM_REPORT_FLAGS.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build-arm-counts}
assets=${NYRA1_ASSET_DIR:-$root/assets}
prefix=${NYRA1_GP2X_PREFIX:-arm-linux-gnueabi-}
generator=
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"

for tool in "${prefix}g++" "${prefix}nm" "${prefix}objdump" qemu-arm cmake; do
    command -v "$tool" >/dev/null 2>&1 || { echo "arm_counts: $tool is missing" >&2; exit 2; }
done
mkdir -p "$work"

# ---- The show core for the handheld, nyra1.gpe and the counting programs ---
echo "arm_counts: building the handheld program" >&2
cmake -S "$root" -B "$work/gp2x" $generator -DCMAKE_TOOLCHAIN_FILE="$root/cmake/gp2x.cmake" \
    -DNYRA1_PLATFORM=gp2x -DCMAKE_BUILD_TYPE=Release -DNYRA1_ASSET_DIR="$assets" >"$work/gp2x.log" 2>&1 ||
    { cat "$work/gp2x.log" >&2; exit 2; }
cmake --build "$work/gp2x" -j2 >>"$work/gp2x.log" 2>&1 || { cat "$work/gp2x.log" >&2; exit 2; }
gpe=$work/gp2x/nyra1.gpe

# The counting programs are built with it (bench/arm/CMakeLists.txt).
arm=$work/gp2x/bench/arm

# ---- The plugin and the report, on the host ---------------------------------
echo "arm_counts: building the plugin and the report" >&2
cmake -S "$root" -B "$work/host" $generator -DCMAKE_BUILD_TYPE=Release -DNYRA1_ASSET_DIR="$assets" \
    -DBUILD_TESTING=OFF >"$work/host.log" 2>&1 || { cat "$work/host.log" >&2; exit 2; }
cmake --build "$work/host" -j2 --target insn_count cycle_model arm_report show_checksum >>"$work/host.log" 2>&1 ||
    { cat "$work/host.log" >&2; exit 2; }
plugin=$work/host/bench/insn_count.so
cycle_model=$work/host/bench/cycle_model.so
report=$work/host/bench/arm_report

# Each module's functions form a group: lines "group address size".
groups() {
    "${prefix}nm" -C -S --defined-only "$1" | awk '
        $3 ~ /^[tTwW]$/ {
            name = $4; for (i = 5; i <= NF; ++i) name = name " " $i
            n = split("plasma:Plasma voxel:VoxelFlight rotozoomer:Rotozoomer title:TitleSequence terrain:TerrainGenerator text:TextRenderer text:Scroller display:Display palette:PaletteEngine", kinds, " ")
            best = 0; group = ""
            for (k = 1; k <= n; ++k) {
                split(kinds[k], pair, ":")
                at = index(name, pair[2] "::")
                if (at > 0 && (best == 0 || at < best)) { best = at; group = pair[1] }
            }
            if (group != "") print group, $1, $2
        }'
}

# ---- Counting ---------------------------------------------------------------
for program in show_counts kernel_counts; do
    echo "arm_counts: counting $program" >&2
    groups "$arm/$program.elf" >"$work/$program.groups"
    # qemu-arm looks for absolute paths under -L first; the programs open nothing.
    qemu-arm -cpu ti925t -L "$work" \
        -plugin "$plugin,out=$work/$program.log,groups=$work/$program.groups" "$arm/$program.elf"
done

# ---- Cycles -----------------------------------------------------------------
# Frames end at each sync (and at the exit to the menu) from the first START
# poll on, as arm_report counts them.
echo "arm_counts: cycles of show_counts" >&2
qemu-arm -cpu ti925t -L "$work" \
    -plugin "$cycle_model,out=$work/show_cycles.log,stalls=$work/show_stalls.txt,frame=sync,frame=menu,from=poll" \
    "$arm/show_counts.elf"
"${prefix}objdump" -d -C --no-show-raw-insn "$arm/show_counts.elf" >"$work/show_counts.dis"

# ---- The same pictures as on the PC ----------------------------------------
echo "arm_counts: checking the handheld's pictures against the PC's" >&2
qemu-arm -cpu ti925t -L "$work" "$arm/show_check.elf" >"$work/arm_pictures.txt"
"$work/host/bench/show_checksum" --pixels --all >"$work/pc_pictures.txt"
if cmp -s "$work/arm_pictures.txt" "$work/pc_pictures.txt"; then
    pictures="identical to the PC build in all $(($(wc -l <"$work/pc_pictures.txt") - 1)) refreshes"
    status=0
else
    first=$(diff "$work/arm_pictures.txt" "$work/pc_pictures.txt" | sed -n '2s/^< //p' | cut -d' ' -f1)
    pictures="DIFFERENT from the PC build, first at refresh ${first:-?} (see $work/*_pictures.txt)"
    status=1
fi

# shellcheck disable=SC2086
"$report" --show "$work/show_counts.log" --kernels "$work/kernel_counts.log" --gpe "$gpe" \
    --cycles "$work/show_cycles.log" --stalls "$work/show_stalls.txt" --disassembly "$work/show_counts.dis" \
    ${ARM_REPORT_FLAGS:-} || status=1
echo "handheld pictures: $pictures"
exit $status
