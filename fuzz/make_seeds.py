#!/usr/bin/env python3
"""Writes the seed corpus of every harness into corpus/<name>/ (run from anywhere).

The seeds are small inputs that exercise each format; libFuzzer starts from them, and the
replay tests run over them. Findings are kept beside them as regression-*.bin files, which
this script leaves alone.
"""
import os
import struct
from functools import reduce

HERE = os.path.dirname(os.path.abspath(__file__))


def write(harness, name, data):
    d = os.path.join(HERE, 'corpus', harness)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, 'seed-' + name + '.bin'), 'wb') as f:
        f.write(bytes(data))


def bcc(b):
    return reduce(lambda a, c: a ^ c, b, 0)


def frame(typ, cmd, sta, data=None, control=0x50):
    f = [0x01, typ, cmd, sta]
    if data is None:
        f.append(0)
    else:
        f += [len(data) + 3, 0x02, control] + list(data) + [0x03]
    return f + [bcc(f)]


def reply(cmd, data=None, sta=0, control=0x50):
    return frame(0x90, cmd, sta, data, control)


def request(cmd, data=None, control=0x50):
    return frame(0x01, cmd, 0, data, control)


# --- frame: one byte for the cutting, then the stream -------------------------------------
clock = reply(0x01, [0x26, 0x12, 0x10, 0x04, 0x30, 0x00])
write('frame', 'clock', [7] + clock)
write('frame', 'no-data', [1] + reply(0x02))
write('frame', 'junk-before', [200] + [0xFF, 0x00, 0x03, 0x02] + clock)
write('frame', 'bad-bcc-then-good', [3] + reply(0x01)[:-1] + [0x00] + clock)
write('frame', 'type-cmd-sta-stx-etx', [9] + [1, 2, 1, 1, 0x90, 0x30, 1, 0x90, 1, 0x10, 1, 0x90, 1, 0, 3, 5,
                                            1, 0x90, 1, 0, 3, 2, 0x50, 4] + clock)
write('frame', 'len1', [1, 1, 0x90, 1, 0, 1, 2, 3, 0x90])
write('frame', 'len2', [2] + [1, 0x90, 1, 0, 2, 2, 3, bcc([1, 0x90, 1, 0, 2, 2, 3])])
write('frame', 'longest', [5] + reply(0x20, list(range(252)), control=0x20) + clock)
write('frame', 'request-type', [4] + request(0x04, b'ABC   '))

# --- vender: one byte for the operation, then the replies ---------------------------------
OPS = ['read-clock', 'set-clock', 'read-number', 'set-number', 'get-paper', 'get-fax', 'get-scan',
       'set-paper', 'send-logo']


def script(op, replies):
    out = [OPS.index(op)]
    for r in replies:
        out += list(struct.pack('<H', len(r))) + list(r)
    return out


def blocks(cmd, data, size=252):
    parts = [data[i:i + size] for i in range(0, len(data), size)]
    out = []
    for i, p in enumerate(parts):
        flags = (0x10 if i == 0 else 0) | (0x20 if i + 1 < len(parts) else 0x40)
        out.append(reply(cmd, p, control=flags | (i & 15)))
    return out


paper = [0, 0] + [(i * 7) & 0xFF for i in range(110)]
write('vender', 'read-clock', script('read-clock', [clock]))
write('vender', 'read-clock-ack-only', script('read-clock', [reply(0x01)] * 3))
write('vender', 'read-clock-echo', script('read-clock', [request(0x01)] * 3))
# Bytes before the frame that look like a frame's head, with a LEN that covers the real one.
write('vender', 'read-clock-junk-first', script('read-clock', [[0x01, 0x90, 0x01, 0x00, 0x0F, 0x05] + clock]))
write('vender', 'set-clock-echo', script('set-clock', [request(0x02, [0x26, 0x12, 0x10, 0x04, 0x30, 0x00])] * 3))
write('vender', 'read-clock-in-two', script('read-clock', blocks(0x01, [0x26, 0x12, 0x10, 4, 0x30, 0], 3)))
write('vender', 'read-clock-bad-then-good', script('read-clock', [clock[:-1] + [0], clock]))
write('vender', 'set-clock', script('set-clock', [reply(0x02)]))
write('vender', 'set-clock-status', script('set-clock', [reply(0x02, sta=1)]))
write('vender', 'read-number', script('read-number', [reply(0x03, b'QV0042')]))
write('vender', 'set-number', script('set-number', [reply(0x04)]))
write('vender', 'get-paper', script('get-paper', [reply(0x20, paper)]))
write('vender', 'get-paper-split', script('get-paper', blocks(0x20, paper, 100)))
write('vender', 'get-paper-short', script('get-paper', [reply(0x20, paper[:50])]))
write('vender', 'get-fax', script('get-fax', [reply(0x20, [0, 1, 1])]))
write('vender', 'get-scan', script('get-scan', [reply(0x20, [0, 2, 0])]))
write('vender', 'set-paper', script('set-paper', [reply(0x21)]))
write('vender', 'send-logo', script('send-logo', [reply(0x15)] * 25))
write('vender', 'send-logo-refused-midway', script('send-logo', [reply(0x15)] * 10 + [reply(0x15, sta=2)]))
# More reply data than the 7000-byte area holds, in blocks that all say "more follows".
write('vender', 'overflow', script('get-paper', [reply(0x20, [0x55] * 252, control=0x20)] * 29))
write('vender', 'nothing', script('read-number', []))
write('vender', 'half-frame', script('read-number', [clock[:4]]))

# --- vendorsim: one byte for the cutting, then what a client sends ------------------------
write('vendorsim', 'read-clock', [3] + request(0x01))
write('vendorsim', 'set-clock', [5] + request(0x02, [0x26, 0x12, 0x10, 0x04, 0x30, 0x00]))
write('vendorsim', 'set-clock-not-bcd', [5] + request(0x02, [0x26, 0x13, 0x1A, 0x04, 0x30, 0x00]))
write('vendorsim', 'numbers', [9] + request(0x04, b'ABC   ') + request(0x03))
write('vendorsim', 'mfp', [11] + request(0x20, [0, 0]) + request(0x20, [0, 1]) + request(0x20, [0, 2])
      + request(0x21, [0, 0] + list(range(110))) + request(0x21, [0, 2, 1]) + request(0x20, [0, 9]))
logo = [0x00, 0x00, 0x1D, 0x2A, 0x30, 0x10] + [0xA5] * 6144 + [0x1D, 0x2F, 0x00]
reqs = []
for i in range(0, len(logo), 252):
    part = logo[i:i + 252]
    flags = (0x10 if i == 0 else 0) | (0x20 if i + 252 < len(logo) else 0x40)
    reqs += request(0x15, part, control=flags | ((i // 252) & 15))
write('vendorsim', 'logo', [13] + reqs)
write('vendorsim', 'junk-and-bad-frames', [17] + [0xFF, 0x01, 0x02, 0x01, 0x01, 0x00, 0x00, 0x99]
      + request(0x30) + [1, 1, 1, 0, 1, 2, 3, 0] + request(0x01))
write('vendorsim', 'more-without-last', [1] + request(0x04, b'ABC', control=0x30) + request(0x04, b'DEF', control=0x21)
      + request(0x03, None))

# --- layout: the file -----------------------------------------------------------------------
MINCHO = b'\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9'
write('layout', 'default', b'SHOPLOGO\r\nPRINTER,1\r\nBGLAYER,"Shop.bmp"\r\n'
      b'TEXTLAYER,0,10,20,"' + MINCHO + b'",32,"\x83\x65\x83\x58\x83\x67\\n2\x8d\x73\x96\xda"\r\n'
      b'TEXTLAYER,1,-5,100,"MS UI Gothic",-24,"TEL 03-1234-5678"\r\n')
write('layout', 'escapes-lf', b'SHOPLOGO\nBGLAYER,""\nTEXTLAYER,1,0,0,"a\\"b",8,"c:\\\\dir\\\\\\n\x95\\\\"\n'
      b'TEXTLAYER,0,99999999999,-99999999999,"x",0,"\\x"\n')
write('layout', 'partial-lines', b'SHOPLOGO\r\nPRINTER\r\nPRINTER,+7\r\nTEXTLAYER,2,1,1,"f",1,"t"\r\n'
      b'TEXTLAYER,0,3\r\nUNKNOWN,1\r\nTEXTLAYER,1,4,5,"unterminated')
write('layout', 'wrong-kind', b'SHOPLOGO2\r\nPRINTER,1\r\n')

# --- profile: section, key and value (a length byte each), then the file --------------------
def setting(section, key, value, content):
    out = b''
    for f in (section, key, value):
        out += bytes([len(f)]) + f
    return out + content


INI = (b'; quorvel settings\r\n[PC]\r\nCOMPORT=1\r\nCOMRATE = 9600 \r\n\r\n[VENDER]\r\nPRTTYPE=1\r\n'
       b'SHOPLOGO=0\r\n\r\n[\x83\x65\x83\x58\x83\x67]\r\nkey=\x95\\\r\n')
write('profile', 'replace', setting(b'pc', b'comrate', b'19200', INI))
write('profile', 'add-key', setting(b'VENDER', b'NEW', b'x y', INI))
write('profile', 'add-section', setting(b'OTHER', b'K', b'', INI))
write('profile', 'cp932-section', setting(b'\x83\x65\x83\x58\x83\x67', b'key', b'v', INI))
write('profile', 'lf-no-final-newline', setting(b'PC', b'COMPORT', b'2', b'[PC]\nCOMPORT=1\nX'))
write('profile', 'empty-file', setting(b'PC', b'COMPORT', b'3', b''))
write('profile', 'odd-lines', setting(b'a]b', b'k', b'=v=', b'junk\r\n[a]b]\r\n=\r\n;k=1\r\n  [bad\r\nk\r\n'))


# --- picture: BMP files -------------------------------------------------------------------
def bmp(width, height, bpp, pixels, palette=b'', compression=0, extra_header=b''):
    header_size = 40 + len(extra_header)
    offset = 14 + header_size + len(palette)
    info = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bpp, compression, len(pixels),
                       2835, 2835, len(palette) // 4, 0) + extra_header
    return b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset) + info + palette + pixels


def rows(width, height, bpp, value):
    stride = ((width * bpp + 31) // 32) * 4
    return b''.join(bytes([value(y, i) for i in range(stride)]) for y in range(height))


write('picture', 'rgb24', bmp(5, 3, 24, rows(5, 3, 24, lambda y, i: 0 if (y + i) % 4 == 0 else 0xFF)))
write('picture', 'top-down', bmp(4, -2, 24, rows(4, 2, 24, lambda y, i: y * 80)))
write('picture', 'mono', bmp(20, 4, 1, rows(20, 4, 1, lambda y, i: 0x5A), palette=b'\x00\x00\x00\x00\xff\xff\xff\x00'))
pal16 = b''.join(bytes([i * 16, i * 16, i * 16, 0]) for i in range(16))
write('picture', 'pal4', bmp(7, 3, 4, rows(7, 3, 4, lambda y, i: 0x1F), palette=pal16))
pal256 = b''.join(bytes([i, i, i, 0]) for i in range(256))
write('picture', 'pal8', bmp(6, 2, 8, rows(6, 2, 8, lambda y, i: (i * 40) & 0xFF), palette=pal256))
write('picture', 'rle8', bmp(8, 2, 8, bytes([4, 0, 4, 255, 0, 0, 8, 7, 0, 1]), palette=pal256, compression=1))
write('picture', 'rle4', bmp(8, 2, 4, bytes([8, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1]), palette=pal16, compression=2))
write('picture', 'rgb16', bmp(3, 2, 16, rows(3, 2, 16, lambda y, i: 0x1F * (i % 2))))
masks = struct.pack('<IIII', 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
write('picture', 'bitfields32', bmp(2, 2, 32, bytes([0, 0, 0, 0x80, 255, 255, 255, 0x00] * 2), compression=3,
                                    extra_header=masks + b'\x00' * 68))
write('picture', 'huge-declared', bmp(30000, 30000, 8, bytes([0, 1]), palette=pal256, compression=1))
write('picture', 'truncated', bmp(64, 32, 24, rows(64, 4, 24, lambda y, i: 0)))


# --- mfpcsv: MFP parameter files ----------------------------------------------------------
def csv(lines):
    return ('\r\n'.join(lines) + '\r\n').encode('ascii')


initial = ['MFPconfig'] + ['%d,0,0,0,0,0,0,0,0,0,0' % k for k in range(10)] + ['100,0', '101,0']
write('mfpcsv', 'initial', csv(initial))
write('mfpcsv', 'values', csv(['MFPconfig', '2,104,1,0,1,0,3,6,0,1,0', '100,1', '101,1']))
write('mfpcsv', 'lf-and-odd-fields', b'mfpconfig extra\n 3, -1,+300,4294967296,x,,7\n9,161\n55,1,2\n-5,9\n101\n')
write('mfpcsv', 'out-of-list', csv(['MFPconfig', '0,250,9,9,9,9,99,99,99,99,99', '100,255', '101,7']))
write('mfpcsv', 'wrong-header', csv(['MFPconfiguration?', '0,1,1,1,1,1,1,1,1,1,1']))
