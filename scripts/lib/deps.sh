# Installs the Debian packages listed in the given files (scripts/packages when none is given)
# that are not installed yet. Sourced by scripts/run, scripts/test and bench/run.
tillmark_install_deps() {
    local root missing=() pkg list
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
    local lists=("$@")
    [[ ${#lists[@]} -eq 0 ]] && lists=("$root/scripts/packages")
    for list in "${lists[@]}"; do
        while read -r pkg; do
            [[ -z "$pkg" || "$pkg" == \#* ]] && continue
            if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
                missing+=("$pkg")
            fi
        done <"$list"
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing missing Debian packages: ${missing[*]}"
    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "error: need root (or sudo) to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# tillmark_build <build-dir> [cmake args...]: configure (once) and build.
tillmark_build() {
    local dir="$1"; shift
    cmake -S "$TILLMARK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}
