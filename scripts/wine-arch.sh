# Sourced by the build and Wine scripts: which build of the Windows programs
# this machine can run. Noxel ships 32-bit programs (build/bin), and Wine runs
# them where the kernel runs i386 code. Some virtual machines run 64-bit user
# code only; there the same sources are also built for x64 (build/x64) and the
# Windows tests and scripts run that build under wine64.

# True when Wine's 32-bit loader starts on this machine.
noxel_runs_win32() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# noxel_run_build BUILD: the build folder whose programs run here.
noxel_run_build() {
  if noxel_runs_win32; then printf '%s' "$1"; else printf '%s/x64' "$1"; fi
}
