#!/bin/sh
# layers.sh SOURCE_DIR
# Dependencies point down: each folder of src/ includes only the folders below it, and the core
# (device, log, eq, image), the production line and the JSON document include no toolkit header.
# A folder is named by its first part, so platform/sim and platform/win32 are platform. The
# build's fence (cmake/export_headers.cmake) holds each target to the headers of what it links;
# this holds the links to pointing down.
src=$1/src
status=0

allowed() {
  case $1 in
    platform) echo "platform" ;;
    device) echo "platform device" ;;
    log) echo "platform log" ;;
    eq) echo "platform device log eq" ;;
    image) echo "platform device log eq image" ;;
    document) echo "platform device log eq image document" ;;
    backend) echo "platform device log image backend" ;;
    production) echo "platform device log eq image backend production" ;;
    cli) echo "platform device log eq image production document backend cli" ;;
    ui) echo "platform log image ui" ;;
    pages) echo "platform device log eq image production backend ui pages" ;;
    app) echo "platform device log eq image production backend ui pages app" ;;
  esac
}

for dir in platform device log eq image document backend production cli ui pages app; do
  ok=$(allowed $dir)
  for file in $(find "$src/$dir" -name '*.h' -o -name '*.cpp'); do
    for used in $(sed -n 's|^#include "\([a-z0-9_]*\)/.*|\1|p' "$file" | sort -u); do
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

# The back end hides the simulator: no public header of a front end names it.
for file in "$src"/cli/*.h "$src"/ui/*.h "$src"/pages/*.h "$src"/app/*.h; do
  if grep -Eq '^#include "(platform/sim/|backend/simulated_backend.h)|sim::' "$file"; then
    echo "${file#"$src"/} shows the simulator's types: the back end hides them"
    status=1
  fi
done
exit $status
