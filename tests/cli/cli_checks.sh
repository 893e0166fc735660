#!/usr/bin/env bash
# One check of the kelvra tool: cli_checks.sh CHECK KELVRA. Fails with a message saying what
# differed; the tool's own output is shown with it.
set -uo pipefail
check=$1
kelvra=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  for f in "$work"/out "$work"/err; do [ -f "$f" ] && { echo "--- ${f##*/}" >&2; cat "$f" >&2; }; done
  exit 1
}

# Runs the tool; its exit status in $status, its output in $work/out and $work/err.
run() {
  "$kelvra" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

case $check in
  set_get)
    run set gain 200; [ "$status" -eq 0 ] || fail "set gain 200 exited $status"
    run set brightness -40; [ "$status" -eq 0 ] || fail "set brightness -40 exited $status"
    # Settings are kept per camera number: a new process reads them back.
    run get gain; grep -qx 'gain = 200' "$work/out" || fail "get gain did not give 200"
    run get brightness; grep -qx 'brightness = -40' "$work/out" || fail "get brightness did not give -40"
    run set mirror-h 1; run get mirror-h; grep -qx 'mirror-h = 1' "$work/out" || fail "mirror-h not kept"
    ;;
  refused)
    run set gain 256; [ "$status" -eq 1 ] || fail "set gain 256 exited $status, not 1"
    grep -q 'from 0 to 255' "$work/err" || fail "the refusal does not give the range"
    run set exposure 0; [ "$status" -eq 1 ] || fail "set exposure 0 exited $status, not 1"
    grep -q 'from 1 to 1000000' "$work/err" || fail "the exposure refusal does not give the range"
    run info 7; [ "$status" -eq 1 ] || fail "info of an absent camera exited $status, not 1"
    ;;
  usage)
    for args in "set" "set gain" "get" "set bogus 1" "stream --bogus 1" "stream --seconds" \
                "stream --seconds 0" "stream --colour 24" "get gain extra" "stream --sim-scene dark"; do
      # shellcheck disable=SC2086
      run $args; [ "$status" -eq 2 ] || fail "kelvra $args exited $status, not 2"
    done
    run set --help; [ "$status" -eq 0 ] || fail "set --help exited $status"
    grep -q 'exposure' "$work/out" || fail "set --help does not list the controls"
    ;;
  stream)
    run stream --seconds 1 --sim-fps 50 --sim-scene flat
    [ "$status" -eq 0 ] || fail "stream exited $status"
    frames=$(sed -n 's/^frames received *\([0-9]*\) in.*/\1/p' "$work/out")
    [ -n "$frames" ] && [ "$frames" -ge 30 ] && [ "$frames" -le 60 ] || fail "stream received '$frames' frames at 50 fps in 1 s"
    grep -q '^frames failed *0$' "$work/out" || fail "stream reports failed frames"
    grep -q '^frame rate ' "$work/out" || fail "stream reports no rate"
    ;;
  snap)
    # Each format, from the extension and from --format, opened by a reader we did not write.
    for file in snap.png snap.tif snap.bmp snap.jpg; do
      run snap --sim-scene ramp -o "$work/$file"; [ "$status" -eq 0 ] || fail "snap -o $file exited $status"
      size=$(/usr/bin/python3 -c "from PIL import Image; im = Image.open('$work/$file'); print(*im.size)") ||
        fail "Pillow cannot open $file"
      [ "$size" = "1280 1024" ] || fail "$file is $size"
    done
    pngcheck -q "$work/snap.png" >/dev/null || fail "pngcheck rejects the PNG"
    tiffinfo "$work/snap.tif" 2>/dev/null | grep -q 'Bits/Sample: 16' || fail "the TIFF is not 16-bit"
    run snap --format raw -o "$work/frame"; [ "$status" -eq 0 ] || fail "snap --format raw exited $status"
    [ "$(stat -c %s "$work/frame")" -eq 2621440 ] || fail "the raw frame is not 1280 x 1024 x 2 bytes"
    run snap --colour 48 -o "$work/colour.png"
    mode=$(/usr/bin/python3 -c "from PIL import Image; print(Image.open('$work/colour.png').mode)")
    [ "$status" -eq 0 ] && [ "$mode" = "RGB" ] || fail "snap --colour 48 gave mode $mode"
    run snap -o "$work/picture.gif"; [ "$status" -eq 2 ] || fail "an unknown extension exited $status, not 2"
    ;;
  record)
    run record -o "$work/movie.avi" --seconds 2 --sim-fps 15
    [ "$status" -eq 0 ] || fail "record exited $status"
    # Not a terminal: progress comes as plain lines, then the summary.
    grep -q '^[0-9.]* / 2.0 s  [0-9]* frames' "$work/err" || fail "no progress lines"
    grep -q '^recorded [0-9]* frames of 1280 x 1024 in 2 s' "$work/out" || fail "no summary"
    frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
             -of csv=p=0 "$work/movie.avi") || fail "ffprobe cannot read the movie"
    [ "$frames" -ge 15 ] && [ "$frames" -le 40 ] || fail "the movie holds $frames frames, not about 30"
    run record --seconds 1; [ "$status" -eq 2 ] || fail "record without -o exited $status, not 2"
    ;;
  *)
    fail "no check named $check"
    ;;
esac
echo "ok: $check"
