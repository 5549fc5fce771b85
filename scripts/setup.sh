# Installs the Debian packages the build needs when one is missing (as root).
vk_packages=(cmake g++ make libgtest-dev qt6-base-dev desktop-file-utils)
vk_missing=()
for p in "${vk_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || vk_missing+=("$p")
done
if [ ${#vk_missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${vk_missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${vk_missing[@]}"
fi
