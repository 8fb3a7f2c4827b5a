#!/usr/bin/env bash
# End to end: the program on broken data. For each case of the table a fresh
# copy of the data is broken in one way and the program started on it; it
# must end the way the case says, with its message in log.txt, and neither
# crash nor hang:
#   fatal   the fatal error box appears (it is answered with its OK button),
#           log.txt holds the whole box text, the exit code is 1;
#   boxes   the loader's message box(es) appear and are answered, the city is
#           drawn all the same, the window is closed, the exit code is 0;
#   quiet   no box, the city is drawn, the window is closed, exit code 0.
# Usage: BadConfiguration.sh CITY CLOSEWINDOW XDRIVE_LIB DATA_DIR [CASE...]
set -euo pipefail
source "$(dirname "$0")/e2e-lib.sh"
e2e_init "${@:1:4}"
shift 4
pristine=$work/pristine
mkdir "$pristine"
find "$work" -mindepth 1 -maxdepth 1 ! -name pristine -exec mv {} "$pristine"/ \;

# The fatal box's text: "FATAL ERROR : \n", the message, then where it was thrown.
fatal_text() {
    printf 'FATAL ERROR : \n%s\n\nFunction : %s\nFile :      %s\nLine :      %s' "$1" "$2" "$3" "$4"
}

# Each case: name, how to break the data, the outcome, the expected log text.
case_names=(no-init-xml root-not-init no-collision-map no-model no-ground-texture bad-fragment-program
    bad-object-shader)
break_data() {
    case $1 in
    no-init-xml) rm "config files/init.xml" ;;
    root-not-init) sed -i 's/<init>/<setup>/; s#</init>#</setup>#' "config files/init.xml" ;;
    no-collision-map) rm images/colmap.bmp ;;
    no-model) rm models/buildings/centre.v3d ;;
    no-ground-texture) rm images/ground.bmp ;;
    # An unknown operand: the assembler stops at line 3.
    bad-fragment-program) printf '!!ARBfp1.0\nTEMP t;\nMUL result.color, t, nothing;\nEND\n' >shaders/base.fp ;;
    # An unknown variable at line 2.
    bad-object-shader) printf 'void main(Array args) {\n    setVectorParam("lightPosition", nothing);\n}\n' \
        >scripts/objectLight.ds ;;
    esac
}
outcome() {
    case $1 in
    no-model) echo quiet ;;
    no-ground-texture) echo boxes ;;
    *) echo fatal ;;
    esac
}
# The text log.txt must hold (for fatal cases the whole box text).
expected_log() {
    case $1 in
    no-init-xml)
        fatal_text 'Error opening XML file config files\init.xml' Vantor::XMLFile::load \
            'source\modules\xml\XMLFile' 29 ;;
    root-not-init) fatal_text "init.xml is invalid" MainGM::init '.\MainGM' 49 ;;
    no-collision-map) fatal_text "Collision map not found" MainGM::init '.\MainGM' 43 ;;
    no-model) printf 'Error Loading Model: \n    models\\buildings\\centre.v3d' ;;
    no-ground-texture) printf 'Error loading texture image' ;;
    bad-fragment-program)
        fatal_text "Shader Load Error"$'\n'"$(assembler_error)"$'\n' Vantor::ShaderManager::createAsmShader \
            'source\modules\ShaderManager\ShaderManager' 273 ;;
    bad-object-shader)
        fatal_text "$(printf 'DrovelScript compile error at line 2\nVariable not found')" Vantor::Compiler::error \
            'source\modules\DrovelScript\DSCompiler' 1371 ;;
    esac
}
# The assembler's own error text comes from the driver (it ends in a line
# break): taken from the log, between the message's first line and the blank
# lines before "Function : ".
assembler_error() {
    awk '/^Shader Load Error$/ { on = 1; next } /^Function : / { on = 0 } on' log.txt
}

# True when log.txt holds TEXT (several lines) as consecutive lines.
log_holds() {
    # Through the environment: awk -v would turn "\b" of a file name into a backspace.
    WANT=$1 awk 'BEGIN { n = split(ENVIRON["WANT"], w, "\n") }
        { line[NR] = $0 }
        END {
            for (i = 1; i + n - 1 <= NR; ++i) {
                for (k = 1; k <= n && line[i + k - 1] == w[k]; ++k) {}
                if (k > n) exit 0
            }
            exit 1
        }' log.txt
}

# Answers the message box "ID X Y W H" with its OK button, after saving a
# picture of it to FILE. A box ignores a click that comes before it is ready,
# so the click is repeated while the box stays. The next box may reuse the
# window id, but not the geometry: a box with another geometry is a new one.
answer_box() {
    local box=$1 tries=0
    import -window root -crop "$(echo "$box" | awk '{ print $4 "x" $5 "+" $2 "+" $3 }')" +repage "$2"
    while [ "$(xdrive_find_unnamed_window)" = "$box" ]; do
        tries=$((tries + 1))
        [ $tries -le 5 ] || e2e_fail "$name: a message box did not close on OK"
        xdrive_click_ok "$box"
        local wait_until=$((SECONDS + 2))
        while [ "$(xdrive_find_unnamed_window)" = "$box" ] && [ $SECONDS -lt $wait_until ]; do
            sleep 0.2
        done
    done
}

run_case() {
    local name=$1 kind
    kind=$(outcome "$name")
    rm -rf "$work/run"
    cp -r "$pristine" "$work/run"
    cd "$work/run"
    break_data "$name"
    e2e_start_answered

    # Answer every box; the window counts as drawn once it shows the city
    # without a box in front of it.
    local boxes=0 box answered="" drawn=0 deadline=$((SECONDS + 40))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
        box=$(xdrive_find_unnamed_window)
        if [ -n "$box" ]; then
            # A box counts once it keeps its place for a moment; one seen
            # again after its answer (a listing taken while it closed can
            # miss it) is the same box.
            sleep 0.3
            [ "$(xdrive_find_unnamed_window)" = "$box" ] || continue
            [ "$box" = "$answered" ] || boxes=$((boxes + 1))
            answered=$box
            [ "$boxes" -le 5 ] || e2e_fail "$name: more than 5 message boxes"
            answer_box "$box" "$work/$name-box$boxes.png"
            continue
        fi
        window=$(xdrive_find_window "GL Framework")
        if [ -n "$window" ] && [ "$kind" != fatal ]; then
            xdrive_screenshot "$window" "$work/$name-scene.png"
            if e2e_more_than "$(xdrive_mean "$work/$name-scene.png" 1024x768+0+0)" 0.15 && [ -z "$(xdrive_find_unnamed_window)" ]; then
                drawn=1
                break
            fi
        fi
        sleep 0.3
    done

    if [ "$kind" = fatal ]; then
        e2e_wait_exit 10
        [ "$boxes" -ge 1 ] || e2e_fail "$name: no fatal error box"
        [ "$status" = 1 ] || e2e_fail "$name: exit code $status after the fatal error, not 1"
        if [ "$name" = bad-fragment-program ]; then
            [ -n "$(assembler_error)" ] || e2e_fail "$name: no assembler error text after \"Shader Load Error\""
        fi
    else
        [ "$drawn" = 1 ] || e2e_fail "$name: the city was not drawn (the program goes on after this error)"
        read -r window_id _ <<<"$window"
        e2e_close_expect_0
        if [ "$kind" = boxes ]; then
            [ "$boxes" -ge 1 ] || e2e_fail "$name: no message box"
        else
            [ "$boxes" = 0 ] || e2e_fail "$name: $boxes unexpected message boxes"
        fi
        ! grep -q "FATAL ERROR" log.txt || e2e_fail "$name: a fatal error was logged"
    fi
    local want
    want=$(expected_log "$name")
    log_holds "$want" || e2e_fail "$name: log.txt does not hold:
$want
--- log.txt without the model lines:
$(grep -Ev '^(Mesh|Name :|  MeshPtr)' log.txt | sed -n '6,$p')"
    echo "ok: $name: $kind ($boxes box(es), exit code $status)"
    cd "$work"
}

for name in "${@:-${case_names[@]}}"; do
    run_case "$name"
done
echo "ok: every broken configuration ended as expected"
