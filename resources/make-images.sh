#!/usr/bin/env bash
# Draws every picture of the skin archive and the application icon with ImageMagick, so the repository
# keeps only this recipe and never an opaque binary.
#
#   make-images.sh OUTPUT_DIR
#
# Small pictures are drawn at four times their size and reduced, which gives clean antialiased edges.
# Output is deterministic: no time stamps, no random numbers.
#
# Palette: night navy and ink for the download pages, warm gold for progress, the dialog's blue (#008AFF)
# for its OK button, one red for every close button under the mouse, cream (#EEE8D9) for light marks on
# dark ground.
set -euo pipefail

out=${1:?output folder}
mkdir -p "$out"
# The real ImageMagick; another convert earlier on PATH may be a stand-in.
IM=${VEMRA_CONVERT:-/usr/bin/convert}
[ -x "$IM" ] || { echo "make-images.sh: ImageMagick not found at $IM (package imagemagick)" >&2; exit 1; }

CREAM='#EEE8D9'
RED='#E5484D'
BLUE='#008AFF'

# PNG with alpha and without time chunks, so rebuilding gives identical bytes.
png() { "$IM" "$@"; }
PNGOPT=(-define png:exclude-chunk=date,time,tIME -define png:color-type=6 -define png:bit-depth=8)

# Reduce a 4x drawing to its final size: box filter averages every 4x4 block.
shrink() { # size in, out
    "$IM" "$2" -filter box -resize "$1"'!' "${PNGOPT[@]}" "PNG32:$3"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- drop shadow: 58 x 58, the window covers the inner 40 x 40; the 9-pixel frame fades out ---------
# Distance of each pixel centre from the window rectangle decides its opacity; under the window it is clear.
"$IM" -size 58x58 xc:'#0B1020' -alpha set -channel A \
    -fx 'dx = max(max(9 - (i + 0.5), (i + 0.5) - 49), 0);
         dy = max(max(9 - (j + 0.5), (j + 0.5) - 49), 0);
         d = hypot(dx, dy);
         (dx == 0 && dy == 0) ? 0 : (d >= 9 ? 0 : 0.34 * pow(1 - d / 9, 2.2))' \
    +channel "${PNGOPT[@]}" "PNG32:$out/shadow.png"

# --- download page: minimise (24 x 24) and close (28 x 28), light marks on a glassy disc -------------
round_button() { # size4x, disc fill, disc stroke, mark colour, mark (minus|cross), file
    local s=$1 c r a b
    c=$(( s / 2 ))
    r=$(( s / 2 - 4 ))
    a=$(( s * 33 / 100 ))
    b=$(( s - a ))
    local mark
    if [ "$5" = minus ]; then
        mark="line $a,$c $b,$c"
    else
        a=$(( s * 35 / 100 )); b=$(( s - a ))
        mark="line $a,$a $b,$b line $b,$a $a,$b"
    fi
    "$IM" -size "${s}x${s}" xc:none \
        -fill "$2" -stroke "$3" -strokewidth 3 -draw "circle $c,$c $c,$(( c - r ))" \
        -fill none -stroke "$4" -strokewidth $(( s / 12 )) -draw "stroke-linecap round $mark" \
        "$tmp/big.png"
    shrink "$(( s / 4 ))x$(( s / 4 ))" "$tmp/big.png" "$out/$6"
}
round_button 96 'rgba(255,255,255,0.08)' 'rgba(255,255,255,0.22)' "$CREAM" minus gmin_normal.png
round_button 96 'rgba(255,255,255,0.24)' 'rgba(255,255,255,0.50)' white minus gmin_hover.png
round_button 112 'rgba(255,255,255,0.08)' 'rgba(255,255,255,0.22)' "$CREAM" cross gclose_normal.png
round_button 112 "$RED" 'rgba(255,255,255,0.35)' white cross gclose_hover.png

# --- download progress bar: 530 x 13 with 3-pixel rounded ends ----------------------------------------
# Track: dark glass with a faint rim. Fill: gold, lighter at the top, with a thin highlight line.
"$IM" -size 2120x52 xc:none \
    -fill 'rgba(4,8,20,0.55)' -stroke 'rgba(255,255,255,0.20)' -strokewidth 4 \
    -draw 'roundrectangle 2,2 2117,49 12,12' "$tmp/big.png"
shrink 530x13 "$tmp/big.png" "$out/gprogress_bk.png"

"$IM" -size 2120x52 gradient:'#FFE29A-#EE9530' \
    \( -size 2120x52 xc:black -fill white -draw 'roundrectangle 0,0 2119,51 12,12' \) \
    -alpha off -compose CopyOpacity -composite \
    -compose Over -fill 'rgba(255,255,255,0.55)' -stroke none -draw 'roundrectangle 12,4 2107,9 3,3' \
    "$tmp/big.png"
shrink 530x13 "$tmp/big.png" "$out/gprogress_fore.png"

# --- notice dialog: close cross (24 x 24), warning mark (60 x 60), OK button (96 x 32) ---------------
"$IM" -size 96x96 xc:none -fill none -stroke '#9AA3B2' -strokewidth 7 \
    -draw 'stroke-linecap round line 32,32 64,64 line 64,32 32,64' "$tmp/big.png"
shrink 24x24 "$tmp/big.png" "$out/btn_close.png"
"$IM" -size 96x96 xc:none -fill "$RED" -stroke none -draw 'circle 48,48 48,6' \
    -fill none -stroke white -strokewidth 7 \
    -draw 'stroke-linecap round line 33,33 63,63 line 63,33 33,63' "$tmp/big.png"
shrink 24x24 "$tmp/big.png" "$out/btn_close_hover.png"

# A soft amber halo, an amber disc shaded from top to bottom, and a white exclamation mark.
"$IM" -size 240x240 xc:none -fill 'rgba(255,170,60,0.16)' -draw 'circle 120,120 120,2' \
    \( -size 240x240 gradient:'#FFC05A-#F07C12' \
       \( -size 240x240 xc:black -fill white -draw 'circle 120,120 120,22' \) \
       -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    -fill 'rgba(255,255,255,0.18)' -draw 'ellipse 120,70 62,30 0,360' \
    -fill white -draw 'roundrectangle 109,58 131,142 11,11' -draw 'circle 120,172 120,159' \
    "$tmp/big.png"
shrink 60x60 "$tmp/big.png" "$out/icon_warning.png"

# The OK text is drawn by the button itself in blue; the image is a light pill with a blue rim.
"$IM" -size 384x128 gradient:'#FFFFFF-#E6F2FF' \
    \( -size 384x128 xc:black -fill white -draw 'roundrectangle 0,0 383,127 62,62' \) \
    -alpha off -compose CopyOpacity -composite \
    -compose Over -fill none -stroke "$BLUE" -strokewidth 5 -draw 'roundrectangle 3,3 380,124 60,60' \
    "$tmp/big.png"
shrink 96x32 "$tmp/big.png" "$out/confirm.png"

# --- download page backgrounds: 960 x 620 night landscapes, one colour theme per game ---------------
# Ridge line of one mountain layer as a polygon: a sum of sines, closed along the bottom edge.
ridge() { # base y, amplitude, phase seed
    awk -v base="$1" -v amp="$2" -v p="$3" 'BEGIN {
        printf "polygon 0,620";
        for (x = 0; x <= 960; x += 8) {
            y = base + amp * (0.55 * sin(x / 97.0 + p) + 0.30 * sin(x / 41.0 + 2.1 * p) + 0.15 * sin(x / 17.0 + 3.7 * p));
            printf " %d,%.1f", x, y;
        }
        printf " 960,620";
    }'
}
# Fixed pseudo-random stars in the upper sky (the Park-Miller sequence: exact in awk's doubles, same every
# build).
stars() { # seed
    awk -v seed="$1" 'BEGIN {
        s = seed;
        for (n = 0; n < 140; n++) {
            s = (s * 16807) % 2147483647; x = s / 2147483647.0 * 960;
            s = (s * 16807) % 2147483647; y = s / 2147483647.0; y = y * y * 330;
            s = (s * 16807) % 2147483647; r = 0.5 + s / 2147483647.0;
            s = (s * 16807) % 2147483647; a = 0.25 + 0.7 * s / 2147483647.0;
            printf "fill rgba(255,250,235,%.2f) circle %.1f,%.1f %.1f,%.1f ", a, x, y, x, y - r;
        }
    }'
}
background() { # file, sky top, sky middle, horizon, glow, glow x, glow y, far, rim, middle, near, haze, seed
    local f=$1 top=$2 mid=$3 hor=$4 glow=$5 gx=$6 gy=$7 far=$8 rim=$9 midc=${10} near=${11} haze=${12} seed=${13}
    "$IM" \( -size 960x260 gradient:"$top-$mid" \) \( -size 960x220 gradient:"$mid-$hor" \) \
        \( -size 960x140 xc:"$hor" \) -append \
        \( -size 700x700 -define gradient:extent=minimum radial-gradient:"$glow-none" \) -geometry "+$(( gx - 350 ))+$(( gy - 350 ))" \
        -compose Screen -composite -compose Over \
        -stroke none -draw "$(stars "$seed")" \
        -fill "$far" -stroke "$rim" -strokewidth 1.5 -draw "$(ridge 430 46 "$seed")" -stroke none \
        \( -size 960x200 gradient:"rgba(0,0,0,0)-$haze" \) -geometry +0+420 -composite \
        -fill "$midc" -draw "$(ridge 490 34 "$(( seed + 3 ))")" \
        \( -size 960x160 gradient:"rgba(0,0,0,0)-$haze" \) -geometry +0+470 -composite \
        -fill "$near" -draw "$(ridge 560 26 "$(( seed + 7 ))")" \
        \( -size 620x110 xc:none -fill 'rgba(4,6,14,0.24)' -draw 'roundrectangle 30,30 589,79 20,20' \
           -channel A -blur 0x20 +channel \) -geometry +275+281 -composite \
        \( -size 960x620 -define gradient:extent=ellipse radial-gradient:'none-rgba(0,0,0,0.62)' \) \
        -composite \
        -strip -quality 90 -sampling-factor 4:2:0 -interlace none "JPEG:$out/$f"
}
background rho_download_bk.jpg  '#120A1C' '#4A1A33' '#C8582E' 'rgba(255,150,80,0.85)' 690 470 \
    '#5A2434' 'rgba(255,190,140,0.45)' '#34141F' '#17090F' 'rgba(200,90,60,0.28)' 11
background mesk_download_bk.jpg '#04121A' '#0E3440' '#3F8E7C' 'rgba(170,255,220,0.55)' 250 190 \
    '#1D4A4A' 'rgba(190,255,230,0.35)' '#10302F' '#061616' 'rgba(90,170,150,0.25)' 23
background dutz_download_bk.jpg '#0A0820' '#241C58' '#7A58B8' 'rgba(200,170,255,0.60)' 760 230 \
    '#35296A' 'rgba(215,195,255,0.40)' '#1E1744' '#0C0A20' 'rgba(140,110,210,0.25)' 37

# --- application icon: gold emblem on an indigo tile, every size the icon groups carry ----------------
"$IM" -size 256x256 -define gradient:direction=SouthEast gradient:'#3B3F9A-#17183F' \
    -define gradient:direction=South \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 52,52' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke 'rgba(255,255,255,0.22)' -strokewidth 3 -draw 'roundrectangle 10,10 245,245 50,50' \
    -stroke none -fill 'rgba(255,255,255,0.07)' -draw 'ellipse 128,40 150,80 0,360' \
    \( -size 256x256 gradient:'#FFE6A0-#E98A25' \
       \( -size 256x256 xc:black -fill white \
          -draw 'polygon 52,66 100,66 128,150 156,66 204,66 146,206 110,206' \
          -fill white -draw 'polygon 128,30 142,46 128,62 114,46' \) \
       -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    "${PNGOPT[@]}" "PNG32:$tmp/icon.png"
"$IM" "$tmp/icon.png" -define icon:auto-resize=256,96,64,48,32,24,16 "ICO:$out/vemra2.ico"
