; The boot sector of a disk that shows one lores picture and nothing else.
;
; The Disk II controller's firmware reads physical sector 0 of track 0 into
; $0800, takes the byte at $0800 as the number of sectors to load (physical
; sectors 0 to N-1, into $0800, $0900, ...), and jumps to $0801 with X =
; slot * 16. Our five sectors are this code, then the picture's 1024 bytes
; at $0900-$0CFF. The code copies them to the text/lores page at
; $0400-$07FF, sets the video switches and waits forever. It calls no ROM
; routine: a machine's ROMs differ, and an emulator may load none the same
; way. Assemble: ca65 boot.s -o boot.o && ld65 -t none -S 0x0800 boot.o -o boot.bin

        .setcpu "6502"
        .org    $0800

SECTORS = 5             ; this sector and the four of the picture

        .byte   SECTORS

; Later models first: a IIe or newer shows 40 columns of standard
; characters at single resolution whatever the last program left. On an
; older machine these addresses do nothing when written.
boot:   sta     $C000   ; 80STORE off: page 1 is main memory's
        sta     $C00C   ; 80COL off
        sta     $C00E   ; ALTCHAR off: the standard characters
        lda     $C05F   ; AN3 high: double resolution off

; The picture from $0900-$0CFF to $0400-$07FF, a quarter at a time.
        ldx     #0
copy:   lda     $0900,x
        sta     $0400,x
        lda     $0A00,x
        sta     $0500,x
        lda     $0B00,x
        sta     $0600,x
        lda     $0C00,x
        sta     $0700,x
        inx
        bne     copy

; Graphics, lores, page 1, and full screen (or mixed: the program writing
; the disk puts $53 into the low byte at `screen` for that).
        lda     $C050   ; graphics, not text
        lda     $C056   ; lores, not hires
        lda     $C054   ; page 1
screen: lda     $C052   ; full screen ($C053: mixed, four lines of text)

; Nothing more to do: the picture stays as it is.
wait:   jmp     wait
