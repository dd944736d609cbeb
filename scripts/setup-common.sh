# Shared by scripts/run and scripts/test: install what is missing, configure, build.
# Sourced, not run.

CORVELLE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Every package the build, the tests and the mail sandbox need.
CORVELLE_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-networkauth-dev libgl-dev libgmime-3.0-dev libxml2-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev procmail
  libssl-dev openssl
  netbase dovecot-core dovecot-pop3d python3 python3-aiosmtpd dbus-daemon
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring
  xvfb xauth xdotool poppler-utils
  clang libclang-rt-14-dev
  desktop-file-utils appstream libxml2-utils file dpkg-dev x11-utils
)

corvelle_install_packages() {
  local missing=() pkg
  for pkg in "${CORVELLE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  # Installing dovecot must not start or enable the system service: the sandbox runs its own.
  # A policy file made here goes again on every way out (a failed apt-get under set -e, an
  # interrupt), or no service would start on this machine afterwards. The subshell keeps
  # the trap away from the caller's own.
  local policy=${CORVELLE_POLICY_RC:-/usr/sbin/policy-rc.d}  # a check points it elsewhere
  (
    if [ ! -e "$policy" ]; then
      # Expanded now: the function's locals may be gone when the trap runs.
      trap "${sudo[*]} rm -f $(printf %q "$policy")" EXIT
      trap 'exit 130' INT
      trap 'exit 143' TERM
      printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
      "${sudo[@]}" chmod +x "$policy"
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  )
}

# corvelle_build BUILD_DIR [cmake options...]
corvelle_build() {
  local dir=$1; shift
  cmake -S "$CORVELLE_ROOT" -B "$dir" -G Ninja "$@" >/dev/null || return 1
  cmake --build "$dir" -j "$(nproc)"
}
