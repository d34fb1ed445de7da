; SPDX-License-Identifier: MIT
; A traffic-light controller for the junction, as a DOS .COM program (assemble with
; "nasm -f bin -o junction.com junction.asm").
;
; The junction has four lights and four car sensors:
;   OUT 160..163  light 1..4: 0 dark, 1 red, 2 red and yellow, 3 yellow, 4 green
;   IN  150       the sensors: bit k-1 set = a car waits at light k
; Lights 1 and 3 stand on the east-west road, lights 2 and 4 on the north-south road.
;
; The rules it keeps:
;   - a light steps only red -> red and yellow -> green -> yellow -> red;
;   - red and yellow lasts 1 s, yellow 2 s, green at least 5 s;
;   - between the two roads' turns every light is red for 1 s: never do both roads move;
;   - a road keeps its green while no car waits on the other road, and gives way after its
;     5 s once one does, so a car waiting at a red light gets its green within 20 s.
;
; Time comes from the PC's timer, which ticks 18.2 times a second and which the BIOS counts at
; 0040:006Ch. A phase is a number of ticks, rounded up so that it is never too short. Counting
; instructions ("mov cx, 0FFFFh / loop $") would make the phases as long as the emulator is slow.

bits 16
org 100h

SENSORS     equ 150
LIGHT_1     equ 160             ; lights 1 to 4 are ports 160 to 163

DARK        equ 0
RED         equ 1
RED_YELLOW  equ 2
YELLOW      equ 3
GREEN       equ 4

EAST_WEST   equ 0               ; a road is the offset of its first light: lights 1 and 3
NORTH_SOUTH equ 1               ; lights 2 and 4
CARS_EAST_WEST   equ 0101b      ; the sensors of lights 1 and 3
CARS_NORTH_SOUTH equ 1010b      ; the sensors of lights 2 and 4

; Phases in timer ticks (seconds x 18.2, rounded up).
TICKS_RED_YELLOW equ 19         ; 1 s
TICKS_YELLOW     equ 37         ; 2 s
TICKS_ALL_RED    equ 19         ; 1 s
TICKS_MIN_GREEN  equ 92         ; 5 s
TICKS_SHORTEST   equ 4          ; 0.2 s: the panel looks every 0.1 s, so it sees every step

start:
        call    take_over

        ; The east-west road goes first, unless only the north-south road has a car waiting.
        mov     byte [road], EAST_WEST
        in      al, SENSORS
        test    al, CARS_NORTH_SOUTH
        jz      .turn
        test    al, CARS_EAST_WEST
        jnz     .turn
        mov     byte [road], NORTH_SOUTH
.turn:
        call    serve_road
        mov     cx, TICKS_ALL_RED
        call    wait_ticks
        xor     byte [road], 1          ; the other road
        jmp     .turn

; One turn of the road in [road]: red and yellow, green for as long as it may keep it, yellow,
; and red again.
serve_road:
        mov     al, RED_YELLOW
        call    show
        mov     cx, TICKS_RED_YELLOW
        call    wait_ticks
        mov     al, GREEN
        call    show
        mov     cx, TICKS_MIN_GREEN
        call    wait_ticks
.hold:                                  ; green until a car waits on the other road
        call    car_across
        jnz     .give_way
        mov     cx, 1
        call    wait_ticks
        jmp     .hold
.give_way:
        mov     al, YELLOW
        call    show
        mov     cx, TICKS_YELLOW
        call    wait_ticks
        mov     al, RED
        call    show
        ret

; Sets both lights of the road in [road] to AL.
show:
        push    dx
        mov     dx, LIGHT_1
        add     dl, [road]
        out     dx, al                  ; light 1 (or 2)
        add     dx, 2
        out     dx, al                  ; light 3 (or 4)
        pop     dx
        ret

; ZF clear when a car waits on the road that does not have its turn.
car_across:
        in      al, SENSORS
        cmp     byte [road], EAST_WEST
        jne     .north_south_has_it
        test    al, CARS_NORTH_SOUTH
        ret
.north_south_has_it:
        test    al, CARS_EAST_WEST
        ret

; Waits CX ticks of the timer (none when CX is 0). A tick is seen by the BIOS's count changing,
; whatever its value, so midnight (when the count starts again) does no harm.
wait_ticks:
        jcxz    .done
        push    ax
        push    bx
        push    es
        mov     ax, 40h                 ; the BIOS's data, 0040:0000
        mov     es, ax
        mov     bx, [es:6Ch]            ; the tick count now
.tick:
        mov     ax, [es:6Ch]            ; (a real PC could HLT here until the next tick)
        cmp     ax, bx
        je      .tick
        mov     bx, ax
        loop    .tick
        pop     es
        pop     bx
        pop     ax
.done:
        ret

; The lights may show anything when the program starts (what another program left). Each one
; reaches red only by steps a light may take: a green one through yellow, a red and yellow one
; (or a byte that is no light at all) by going dark first; then every light is red for the
; all-red time.
take_over:
        xor     bl, bl                  ; bit 0: a yellow is shown; bit 1: a light went dark
        mov     dx, LIGHT_1
.each:
        in      al, dx
        cmp     al, GREEN
        jne     .not_green
        mov     al, YELLOW
        out     dx, al
.not_green:
        cmp     al, YELLOW
        jne     .not_yellow
        or      bl, 1
        jmp     .next
.not_yellow:
        cmp     al, RED
        je      .next
        cmp     al, DARK
        je      .next
        mov     al, DARK
        out     dx, al
        or      bl, 2
.next:
        inc     dx
        cmp     dx, LIGHT_1 + 4
        jb      .each

        mov     cx, TICKS_YELLOW        ; a yellow is shown for its whole time
        test    bl, 1
        jnz     .wait
        mov     cx, TICKS_SHORTEST      ; a dark light long enough to be seen
        test    bl, 2
        jnz     .wait
        xor     cx, cx
.wait:
        call    wait_ticks
        mov     al, RED
        mov     dx, LIGHT_1
.red:
        out     dx, al
        inc     dx
        cmp     dx, LIGHT_1 + 4
        jb      .red
        mov     cx, TICKS_ALL_RED
        call    wait_ticks
        ret

road:   db      EAST_WEST
