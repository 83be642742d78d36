"""DOS programs that stand in for GHOST.EXE, ATTRIB and RESTART in the start-up script test.

DOSBox cannot run the real Ghost, so each stand-in is a tiny .COM program, assembled here
byte by byte, that appends one line to A:\\TRACE.TXT: its tag and its command line. The
Ghost stand-in then lists the folders it is given (every entry, hidden ones included), so
the trace shows what the work drive held when the Ghost batch ran. The ATTRIB stand-in
adds whether the file it was given existed at that moment. DOS loads a file without an
"MZ" header as a .COM program whatever its name ends with, so GHOST.EXE can be one.
"""

TRACE = b"A:\\TRACE.TXT\0"
ORIGIN = 0x100


class _Program:
    """A tiny assembler: code with labels, patched once everything is placed."""

    def __init__(self):
        self.code = bytearray()
        self.labels = {}
        self.rel8 = []    # (offset of the byte, label)
        self.abs16 = []   # (offset of the word, label)
        self.data = []    # (label, bytes), placed after the code

    def emit(self, *parts):
        for part in parts:
            self.code += bytes(part) if not isinstance(part, int) else bytes([part])

    def label(self, name):
        self.labels[name] = ORIGIN + len(self.code)

    def jump(self, opcode, name):
        self.emit(opcode)
        self.rel8.append((len(self.code), name))
        self.emit(0)

    def word_of(self, opcode_bytes, name):
        self.emit(opcode_bytes)
        self.abs16.append((len(self.code), name))
        self.emit(0, 0)

    def string(self, name, text):
        self.data.append((name, text))

    # The few instructions the stand-ins need.
    def dos(self):
        self.emit(0xCD, 0x21)                    # int 21h

    def mov_dx(self, name):
        self.word_of([0xBA], name)               # mov dx, imm16

    def mov_cx(self, value):
        self.emit(0xB9, value & 0xFF, value >> 8)  # mov cx, imm16

    def mov_ah(self, value):
        self.emit(0xB4, value)

    def write(self, name, length):
        self.mov_dx(name)
        self.mov_cx(length)
        self.mov_ah(0x40)                        # write CX bytes at DX to handle BX
        self.dos()

    def build(self):
        image = bytearray(self.code)
        for name, text in self.data:
            self.labels[name] = ORIGIN + len(image)
            image += text
        for at, name in self.rel8:
            distance = self.labels[name] - (ORIGIN + at + 1)
            assert -128 <= distance <= 127, name
            image[at] = distance & 0xFF
        for at, name in self.abs16:
            address = self.labels[name]
            image[at:at + 2] = bytes([address & 0xFF, address >> 8])
        return bytes(image)


def tracer(tag, probe_last_argument=False, listings=()):
    """A .COM program that appends "<tag><command line>" to A:\\TRACE.TXT.

    probe_last_argument: add " present" or " absent" for the file its last argument names.
    listings: (prefix, pattern) pairs; one line "<prefix><name>" per entry matching pattern.
    """
    p = _Program()
    p.mov_ah(0x1A)                               # our own transfer area for the listings
    p.mov_dx("dta")
    p.dos()

    p.emit(0xB8, 0x01, 0x3D)                     # mov ax,3D01h: open the trace for writing
    p.mov_dx("trace")
    p.dos()
    p.jump(0x73, "opened")                       # jnc
    p.mov_ah(0x3C)                               # first line: create it
    p.emit(0x31, 0xC9)                           # xor cx,cx
    p.mov_dx("trace")
    p.dos()
    p.jump(0x73, "opened")                       # jnc
    p.emit(0xB8, 0x01, 0x4C)                     # mov ax,4C01h: no trace, nothing to do
    p.dos()
    p.label("opened")
    p.emit(0x89, 0xC3)                           # mov bx,ax: the handle, kept in BX
    p.emit(0xB8, 0x02, 0x42)                     # mov ax,4202h: to the end
    p.emit(0x31, 0xC9, 0x31, 0xD2)               # xor cx,cx / xor dx,dx
    p.dos()

    p.write("tag", len(tag))
    p.emit(0x8A, 0x0E, 0x80, 0x00)               # mov cl,[80h]: command line length
    p.emit(0x30, 0xED)                           # xor ch,ch
    p.emit(0xBA, 0x81, 0x00)                     # mov dx,81h: the command line
    p.mov_ah(0x40)
    p.dos()

    if probe_last_argument:
        p.emit(0x8A, 0x0E, 0x80, 0x00)           # mov cl,[80h]
        p.emit(0x30, 0xED)                       # xor ch,ch
        p.emit(0xBE, 0x81, 0x00)                 # mov si,81h
        p.emit(0x01, 0xCE)                       # add si,cx
        p.emit(0xC6, 0x04, 0x00)                 # mov byte [si],0: end the last argument
        p.label("back")
        p.emit(0x81, 0xFE, 0x81, 0x00)           # cmp si,81h
        p.jump(0x74, "found")                    # je
        p.emit(0x4E)                             # dec si
        p.emit(0x80, 0x3C, 0x20)                 # cmp byte [si],' '
        p.jump(0x75, "back")                     # jne
        p.emit(0x46)                             # inc si
        p.label("found")
        p.emit(0x89, 0xF2)                       # mov dx,si
        p.emit(0xB8, 0x00, 0x43)                 # mov ax,4300h: get attributes
        p.dos()
        p.mov_dx("absent")
        p.mov_cx(len(b" absent"))
        p.jump(0x72, "say")                      # jc: no such file
        p.mov_dx("present")
        p.mov_cx(len(b" present"))
        p.label("say")
        p.mov_ah(0x40)
        p.dos()
        p.string("absent", b" absent")
        p.string("present", b" present")

    p.write("crlf", 2)

    for i, (prefix, pattern) in enumerate(listings):
        prefix, pattern = prefix.encode("ascii"), pattern.encode("ascii") + b"\0"
        p.string(f"prefix{i}", prefix)
        p.string(f"pattern{i}", pattern)
        p.mov_dx(f"pattern{i}")
        p.mov_cx(0x37)                           # every entry but the volume label
        p.mov_ah(0x4E)                           # find first
        p.dos()
        p.jump(0x72, f"listed{i}")               # jc: nothing there
        p.label(f"entry{i}")
        p.write(f"prefix{i}", len(prefix))
        p.word_of([0xBE], "name")                # mov si, name in the transfer area
        p.emit(0x31, 0xC9)                       # xor cx,cx
        p.label(f"scan{i}")
        p.emit(0x80, 0x3C, 0x00)                 # cmp byte [si],0
        p.jump(0x74, f"scanned{i}")              # je
        p.emit(0x46, 0x41)                       # inc si / inc cx
        p.jump(0xEB, f"scan{i}")                 # jmp
        p.label(f"scanned{i}")
        p.mov_dx("name")
        p.mov_ah(0x40)
        p.dos()
        p.write("crlf", 2)
        p.mov_ah(0x4F)                           # find next
        p.dos()
        p.jump(0x73, f"entry{i}")                # jnc
        p.label(f"listed{i}")

    p.mov_ah(0x3E)                               # close the trace
    p.dos()
    p.emit(0xB8, 0x00, 0x4C)                     # mov ax,4C00h: exit
    p.dos()

    p.string("trace", TRACE)
    p.string("tag", tag.encode("ascii"))
    p.string("crlf", b"\r\n")
    p.string("dta", bytes(0x1E))                 # 43-byte transfer area; name at 1Eh
    p.string("name", bytes(13))
    return p.build()
