#!/usr/bin/env bash
# The main job at this stage: set up, build, make the example movie, probe it,
# merge it with a wrapper, and run the command bridge's parser and encoders on
# a few example requests, printing every result.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-machine.sh
cmake --preset release >/dev/null
cmake --build --preset release --target swfmake swfinfo swfmerge swfcipher kwcmd

bin=build/release/tools
out=build/release/example
mkdir -p "$out"

say() { printf '\n$'; printf ' %q' "$@"; printf '\n'; "$@"; }

# The example movie: 550 x 400 at 12 fps, a dark blue background, and one frame
# per command it sends to its host.
say $bin/swf/swfmake -o "$out/example.swf" --size 550x400 --rate 12 --background 1A2B4C \
  --geturl 'KW://KW_zWindow.setPosition?windowID=0&x=100&y=80' \
  --geturl 'KW://KW_zWindow.setSize?windowID=0&width=640&height=480' \
  --geturl 'KW://KW_createWindow?flashFileName=second.swf&x=20&y=20&parameter=p&title=Second&type=standard&backgroundColor=FFFFFF&ownedByMainWindow=false&initialAlpha=100&resizeable=true&hasShadow=true&shapeFilename=' \
  --geturl 'KW://KW_zFile.writeString?fileName=/tmp/zivra-example.txt&textToWrite=Hello'
say $bin/swf/swfmake -o "$out/example-compressed.swf" --compressed --size 550x400 --rate 12 --background 1A2B4C
say $bin/swf/swfmake -o "$out/example-as3.swf" --as3 --size 800x600 --rate 30 --metadata "$(printf '<x>%.0s' {1..40})"
say $bin/swf/swfmake -o "$out/wrapper.swf" --wrapper
say $bin/swf/swfcipher --encipher "$out/example.swf" -o "$out/example-enciphered.zve"

say $bin/swf/swfinfo "$out/example.swf" "$out/example-compressed.swf" "$out/example-as3.swf" "$out/example-enciphered.zve"
say $bin/swf/swfmerge --wrapper "$out/wrapper.swf" --movie "$out/example-enciphered.zve" -o "$out/merged.swf"
say $bin/swf/swfinfo "$out/merged.swf"

say $bin/kwcmd/kwcmd parse 'KW://KW_zWindow.setSize?windowID=0&width=400&height=300'
say $bin/kwcmd/kwcmd parse 'KW://KW_zMenu.addItem?menuName=File&itemName=Open&shortcut=O'
say $bin/kwcmd/kwcmd parse --sync --list '["zWindow","getSize"]'
say $bin/kwcmd/kwcmd parse --sync --list '["zSystem","sendMail","Hello","Greetings","a@b.c, d@e.f"]'
say $bin/kwcmd/kwcmd parse 'KW://KW_zWindow.setSize?windowID=0&width=300'
say $bin/kwcmd/kwcmd eval 'try { __flash__toXML(KW_call("KW://KW_zSystem.getUserName")) ; } catch (e) { "<undefined/>"; }'
say $bin/kwcmd/kwcmd encode tilde a 'b&c'
say $bin/kwcmd/kwcmd event xml zApplication onActivate
