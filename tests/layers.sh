#!/bin/sh
# layers.sh SOURCE_DIR
# Dependencies point down: each folder of src/ includes only the folders below it, and the core
# (device, log, eq, image), the production line and the JSON document include no toolkit header.
# A folder is named by its first part, but for platform/sim and platform/win32: the simulated
# machine and the Win32 one are layers of their own, which only the back end uses. The build's
# fence (cmake/export_headers.cmake) holds each target to the headers of what it links; this
# holds the links to pointing down.
src=$1/src
status=0

allowed() {
  case $1 in
    platform) echo "platform" ;;
    platform/sim) echo "platform platform/sim" ;;
    platform/win32) echo "platform platform/win32" ;;
    device) echo "platform device" ;;
    log) echo "platform log" ;;
    eq) echo "platform device log eq" ;;
    image) echo "platform device log eq image" ;;
    production) echo "platform device log eq image production" ;;
    document) echo "platform device log eq image document" ;;
    backend) echo "platform platform/sim platform/win32 device log image backend" ;;
    cli) echo "platform device log eq image production document backend cli" ;;
    ui) echo "platform log image ui" ;;
    pages) echo "platform device log eq image production backend ui pages" ;;
    app) echo "platform device log eq image production backend ui pages app" ;;
  esac
}

for dir in platform platform/sim platform/win32 device log image eq production document backend \
  cli ui pages app; do
  ok=$(allowed $dir)
  [ -d "$src/$dir" ] || continue
  for file in $(find "$src/$dir" -maxdepth 1 -name '*.h' -o -maxdepth 1 -name '*.cpp'); do
    for used in $(sed -n -e 's#^\#include "platform/\(sim\|win32\)/.*#platform/\1#p;t' \
      -e 's#^\#include "\([a-z0-9_]*\)/.*#\1#p' "$file" | sort -u); do
      case " $ok " in
        *" $used "*) ;;
        *) echo "${file#"$src"/} includes $used/, a layer $dir may not use"; status=1 ;;
      esac
    done
    case $dir in
      device | log | eq | image | production | document)
        if grep -q '^#include <Q' "$file"; then
          echo "${file#"$src"/} includes Qt: the core stays toolkit-free"
          status=1
        fi
        ;;
    esac
  done
done

# The back end hides the machines behind it: no front end names the simulator or its back end,
# and none reaches the Win32 platform.
for file in $(find "$src/cli" "$src/ui" "$src/pages" "$src/app" -name '*.h' -o -name '*.cpp'); do
  if grep -Eq '^#include "backend/(simulated|win32)_backend.h"|sim::' "$file"; then
    echo "${file#"$src"/} names the simulated machine: the back end hides it"
    status=1
  fi
done
exit $status
