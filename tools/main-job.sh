#!/usr/bin/env bash
# The main job: set up, build, make the example movie, probe it, merge it with
# a wrapper, run the command bridge's parser and encoders on a few example
# requests, then make the example projector with zivra-bundle and play it for
# three seconds with zivra on the simulated desktop, printing every result.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-machine.sh
cmake --preset release >/dev/null
cmake --build --preset release --target swfmake swfinfo swfmerge swfcipher kwcmd \
  zivra zivra-bundle

bin=build/release/tools
out=build/release/example
mkdir -p "$out"

say() { printf '\n$'; printf ' %q' "$@"; printf '\n'; "$@"; }

# The example movie: 550 x 400 at 12 fps, a dark blue background, and one frame
# per command it sends to its host: it moves and sizes its own window, opens a
# second window with the movie second.swf (found beside the application, the
# folder it runs in), writes a file, and two seconds later quits.
say $bin/swf/swfmake -o "$out/example.swf" --size 550x400 --rate 12 --background 1A2B4C \
  --geturl 'KW://KW_zWindow.setPosition?windowID=0&x=100&y=80' \
  --geturl 'KW://KW_zWindow.setSize?windowID=0&width=640&height=480' \
  --geturl 'KW://KW_zApplication.createWindow?flashFileName=second.swf&x=780&y=120&parameter=p&title=Second&type=STANDARD&backgroundColor=FFFFFF&ownedByMainWindow=false&initialAlpha=100&resizeable=true&hasShadow=true&shapeFilename=' \
  --geturl 'KW://KW_zFile.writeString?fileName=/tmp/zivra-example.txt&textToWrite=Hello%20from%20the%20example' \
  --pause 24 \
  --geturl 'KW://KW_zApplication.quit'
say $bin/swf/swfmake -o "$out/second.swf" --size 240x160 --rate 12 --background E0A030 \
  --geturl 'KW://KW_trace?msg=second%20window'
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

# The example projector: the movie (enciphered), the wrapper movie, the
# stand-in plug-in and the settings in Example.app, played for three seconds
# of the real clock on the simulated desktop (no display needed). Its stored
# preferences go to a home folder of its own.
say $bin/zivra-bundle/zivra-bundle "$out/example.swf" -o "$out/Example.app" --encipher \
  --setting dropShadow=1 --setting zOrder=normal
(cd "$out" && find Example.app -not -path '*/fpb.plugin/*' | sort)
say $bin/swf/swfinfo "$out/Example.app/Contents/Resources/zvdata.zve"
mkdir -p "$out/home"
HOME="$PWD/$out/home" say "$out/Example.app/Contents/MacOS/zivra" --run-for 3 --trace --snapshot "$out/example-screen.png"
printf '\nThe screen at the end: %s\n' "$PWD/$out/example-screen.png"
