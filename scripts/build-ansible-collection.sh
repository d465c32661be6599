#!/usr/bin/env bash
# Builds the Ansible collection tarnic.access into a tarball and prints its path.
#   scripts/build-ansible-collection.sh [OUTPUT_DIR]     (default: build/ansible)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/ansible}
collection=$root/integrations/ansible/ansible_collections/tarnic/access
mkdir -p "$out"
version=$(sed -n 's/^version: *//p' "$collection/galaxy.yml")
ansible-galaxy collection build --force --output-path "$out" "$collection" >/dev/null
tarball=$out/tarnic-access-$version.tar.gz
[ -f "$tarball" ] || { echo "build-ansible-collection: $tarball was not made" >&2; exit 1; }
echo "$tarball"
