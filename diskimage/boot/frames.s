; The boot code of a disk that plays a picture's frames and nothing else.
;
; The Disk II firmware reads physical sector 0 of track 0 into $0800, takes
; the byte at $0800 as the number of sectors to load (into $0800, $0900,
; $0A00), and jumps to $0801 with X = slot * 16 and the motor on. This code
; moves itself to $B000 (page 2 of the screen is $0800-$0BFF), then reads
; the frames from tracks 1 on with its own code: the head stepped a track at
; a time, each sector's address field found and checked, its data field read
; as 342 6-and-2 nibbles and a checksum, every sector of a track taken in the
; order it passes the head. The frames are the data of one DOS B file whose
; sectors fill tracks 1 on in order: its 4-byte header at $1000, frame f at
; $1004 + f * 1024. A sector that fails sixteen times ends it in text mode
; with a message: never a wrong picture. Then the frames play in a loop:
; the next one copied into the page not shown, the display flipped to it,
; a counted delay, so that every frame is shown for the same time.
; Assemble: ca65 frames.s -o frames.o && ld65 -t none -S 0x0800 frames.o -o frames.bin

        .setcpu "6502"
        .org    $0800

SECTORS = 3             ; this code, in track 0's first three sectors
HOME    = $B000         ; where it runs
XLATE   = $B400         ; the six-bit value of each disk byte ($96 to $FF)
AUX     = $B500         ; the 86 values of a sector's low bits

LATCH   = $C08C         ; + slot * 16: the read latch
READM   = $C08E         ; + slot * 16: read mode
MOTORON = $C089         ; + slot * 16: the motor on (the firmware left it so)
PHASE0  = $C080         ; + slot * 16: phase 0 off; + 1 on, + 2 phase 1 off...

; Zero page.
slot    = $F0           ; slot * 16
track   = $F1           ; the track under the head
want    = $F2           ; the track to read
done    = $F3           ; two bytes: the sectors of the track read, a bit each
buf     = $F5           ; two bytes: where the sector being read goes
count   = $F7
tries   = $F8
fieldTrack = $F9
fieldSector = $FA
tmp     = $FB
half    = $EF           ; the first half of a 4-and-4 pair
src     = $FC           ; two bytes
frame   = $FE

        .byte   SECTORS

; Move to HOME and go on there.
start:  stx     slot
        ldy     #0
move:   lda     $0800,y
        sta     HOME,y
        lda     $0900,y
        sta     HOME+$100,y
        lda     $0A00,y
        sta     HOME+$200,y
        iny
        bne     move
        jmp     HOME + (home - $0800)

home:   ldx     slot
        lda     MOTORON,x
        lda     READM,x
; The table of six-bit values: XLATE[nibble] = its place in NIBBLES.
        ldy     #63
table:  lda     NIBBLES - $0800 + HOME,y
        tax
        tya
        sta     XLATE,x
        dey
        bpl     table
        lda     #0
        sta     track
        lda     #1
        sta     want

; Each track in turn: the head there, then its sixteen sectors.
nexttrack:
        jsr     seek - $0800 + HOME
        lda     #0
        sta     done
        sta     done+1
        lda     #0
        sta     tries
sector: jsr     readsector - $0800 + HOME
        bcc     gotone
        inc     tries
        lda     tries
        cmp     #$F0            ; sixteen passes of the track and more
        bcc     sector
        jmp     failed - $0800 + HOME
gotone: lda     done
        and     done+1
        cmp     #$FF
        bne     sector
        inc     want
        lda     want
        cmp     LASTTRACK - $0800 + HOME
        bcc     nexttrack
        beq     nexttrack
        jmp     play - $0800 + HOME

; The head from track to want, a half track a phase, each held a while.
seek:   ldx     slot
s1:     lda     track
        cmp     want
        beq     s9
        bcc     sup
        dec     track           ; outward: phases 3, 2 of the track before
        lda     track
        asl     a
        clc
        adc     #1
        jsr     step - $0800 + HOME
        lda     track
        asl     a
        jsr     step - $0800 + HOME
        jmp     s1 - $0800 + HOME
sup:    lda     track           ; inward: phases 1, 2 of the track after
        asl     a
        clc
        adc     #1
        jsr     step - $0800 + HOME
        inc     track
        lda     track
        asl     a
        jsr     step - $0800 + HOME
        jmp     s1 - $0800 + HOME
s9:     rts

; Phase a (0 to 7, taken modulo 4) on alone, for about 20 ms, then off.
step:   and     #3
        asl     a
        ora     slot
        tax
        lda     PHASE0+1,x
        ldy     #20
w1:     lda     #200
w2:     sec
        sbc     #1
        bne     w2
        dey
        bne     w1
        lda     PHASE0,x
        ldx     slot
        rts

; One sector of the track under the head: carry clear when read whole and
; put in place, carry set when it failed (or was read already).
early:  sec
        rts

readsector:
        ldx     slot
        ldy     #0              ; the address field within 256 tries
a0:     iny
        beq     early
a1:     lda     LATCH,x
        bpl     a1
a2:     cmp     #$D5
        bne     a0
a3:     lda     LATCH,x
        bpl     a3
        cmp     #$AA
        bne     a2
a4:     lda     LATCH,x
        bpl     a4
        cmp     #$96
        bne     a2
        jsr     four - $0800 + HOME     ; volume
        sta     tmp
        jsr     four - $0800 + HOME     ; track
        sta     fieldTrack
        eor     tmp
        sta     tmp
        jsr     four - $0800 + HOME     ; sector
        sta     fieldSector
        eor     tmp
        sta     tmp
        jsr     four - $0800 + HOME     ; checksum
        cmp     tmp
        bne     early
        lda     fieldTrack
        cmp     want
        bne     early
        lda     fieldSector
        and     #15
        tay                             ; read already?
        lda     BITS - $0800 + HOME,y
        cpy     #8
        bcs     hi
        and     done
        bne     early
        beq     where
hi:     and     done+1
        bne     early
; Where the sector goes: page $10 + (want - 1) * 16 + its logical number.
where:  lda     want
        sec
        sbc     #1
        asl     a
        asl     a
        asl     a
        asl     a
        ora     LOGICAL - $0800 + HOME,y
        clc
        adc     #$10
        sta     buf+1
        lda     #0
        sta     buf
; The data field within a few nibbles.
        ldy     #32
d0:     dey
        beq     bad
d1:     lda     LATCH,x
        bpl     d1
d2:     cmp     #$D5
        bne     d0
d3:     lda     LATCH,x
        bpl     d3
        cmp     #$AA
        bne     d2
d4:     lda     LATCH,x
        bpl     d4
        cmp     #$AD
        bne     d2
; 86 low-bit values, last first into AUX, then 256 high ones into the
; page, each the disk byte's value EORed with the one before: 32 cycles a
; nibble at most.
        lda     #$56
        sta     count
        lda     #0
r1:     ldy     LATCH,x
        bpl     r1
        eor     XLATE,y
        ldy     count
        dey
        sta     AUX,y
        sty     count
        bne     r1
r2:     ldy     LATCH,x
        bpl     r2
        eor     XLATE,y
        ldy     count
        sta     (buf),y
        iny
        sty     count
        bne     r2
r3:     ldy     LATCH,x
        bpl     r3
        eor     XLATE,y
        bne     bad                     ; the checksum
; The two low bits of each byte from AUX.
        ldy     #0
p1:     ldx     #$56
p2:     dex
        bmi     p1
        lda     (buf),y
        lsr     AUX,x
        rol     a
        lsr     AUX,x
        rol     a
        sta     (buf),y
        iny
        bne     p2
        ldy     fieldSector
        lda     BITS - $0800 + HOME,y
        cpy     #8
        bcs     hi2
        ora     done
        sta     done
        clc
        rts
hi2:    ora     done+1
        sta     done+1
        clc
        rts
bad:    sec
        rts

; A 4-and-4 pair as its byte.
four:   lda     LATCH,x
        bpl     four
        sec
        rol     a
        sta     half
f2:     lda     LATCH,x
        bpl     f2
        and     half
        rts

; A sector that cannot be read: text mode, the message, nothing more.
failed: lda     $C051           ; text
        lda     $C054           ; page 1
        ldy     #MESSAGEEND - MESSAGE - 1
fm:     lda     MESSAGE - $0800 + HOME,y
        sta     $0400,y
        dey
        bpl     fm
halt:   jmp     halt - $0800 + HOME

; Playing: frame 0 into page 1, shown, the delay; then each next frame
; into the page not shown, the display flipped to it, the delay.
play:   sta     $C000           ; 80STORE off
        sta     $C00C           ; 80COL off
        sta     $C00E           ; ALTCHAR off
        lda     $C05F           ; AN3 high
        lda     #0
        sta     frame
        lda     #$04            ; page 1
        jsr     copy - $0800 + HOME
        lda     $C054
        lda     $C050           ; graphics
        lda     $C056           ; lores
screen: lda     $C052           ; full screen ($C053: mixed)
        jsr     delay - $0800 + HOME    ; frame 0 too for its whole time
        lda     #$08
loop:   pha                     ; the page to fill: $08 or $04
        inc     frame
        lda     frame
        cmp     FRAMES - $0800 + HOME
        bcc     l1
        lda     #0
        sta     frame
l1:     pla
        pha
        jsr     copy - $0800 + HOME
        pla
        cmp     #$08
        beq     show2
        lda     $C054
        jsr     delay - $0800 + HOME
        lda     #$08
        jmp     loop - $0800 + HOME
show2:  lda     $C055
        jsr     delay - $0800 + HOME
        lda     #$04
        jmp     loop - $0800 + HOME

; Frame `frame` into the page at A * 256: $1004 + frame * 1024 on, 1024
; bytes, the same cycles for every frame.
copy:   sta     to1+2 - $0800 + HOME
        clc
        adc     #1
        sta     to2+2 - $0800 + HOME
        adc     #1
        sta     to3+2 - $0800 + HOME
        adc     #1
        sta     to4+2 - $0800 + HOME
        lda     frame
        asl     a
        asl     a
        clc
        adc     #$10
        sta     from1+2 - $0800 + HOME
        adc     #1
        sta     from2+2 - $0800 + HOME
        adc     #1
        sta     from3+2 - $0800 + HOME
        adc     #1
        sta     from4+2 - $0800 + HOME
        ldy     #0
cl:
from1:  lda     $1004,y
to1:    sta     $0400,y
from2:  lda     $1104,y
to2:    sta     $0500,y
from3:  lda     $1204,y
to3:    sta     $0600,y
from4:  lda     $1304,y
to4:    sta     $0700,y
        iny
        bne     cl
        rts

; The wait between flips: DELAY times 24 cycles.
delay:  lda     DELAY - $0800 + HOME
        sta     src
        lda     DELAY+1 - $0800 + HOME
        sta     src+1
dl:     sec
        lda     src
        sbc     #1
        sta     src
        lda     src+1
        sbc     #0
        sta     src+1
        ora     src
        bne     dl
        rts

NIBBLES:
        .byte   $96,$97,$9A,$9B,$9D,$9E,$9F,$A6,$A7,$AB,$AC,$AD,$AE,$AF,$B2,$B3
        .byte   $B4,$B5,$B6,$B7,$B9,$BA,$BB,$BC,$BD,$BE,$BF,$CB,$CD,$CE,$CF,$D3
        .byte   $D6,$D7,$D9,$DA,$DB,$DC,$DD,$DE,$DF,$E5,$E6,$E7,$E9,$EA,$EB,$EC
        .byte   $ED,$EE,$EF,$F2,$F3,$F4,$F5,$F6,$F7,$F9,$FA,$FB,$FC,$FD,$FE,$FF
; The logical sector of each physical one (DOS 3.3's skew, inverted).
LOGICAL:
        .byte   0, 7, 14, 6, 13, 5, 12, 4, 11, 3, 10, 2, 9, 1, 8, 15
BITS:   .byte   1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128
MESSAGE:
        .byte   $C4,$C9,$D3,$CB,$A0,$D2,$C5,$C1,$C4,$A0,$C5,$D2,$D2,$CF,$D2  ; DISK READ ERROR
MESSAGEEND:
; What the program writing the disk fills in.
FRAMES:    .byte   2            ; how many frames
LASTTRACK: .byte   1            ; the last track they fill
DELAY:     .word   1000         ; the wait between flips, in 24 cycles
