#!/usr/bin/python3
"""Rewrites a version-1 network file as version 2 with the same network.

    /usr/bin/python3 tools/train/convert_v1.py IN OUT

Version 1 had one output and clipped ReLU with no mirroring, which version 2 says with
buckets 1 and flags 0; the body (w1, b1, w2, b2) is the same byte for byte. The result is
read back with the trainer's own checks before it replaces OUT.
"""

import argparse
import struct
import sys

import network as nw
import records as rec

V1_VERSION = 1


def convert(data):
    """The version-2 bytes of a version-1 file's bytes; ValueError naming what is wrong."""
    if len(data) < nw.HEADER_SIZE:
        raise ValueError(f'truncated: {len(data)} bytes')
    # Version 1's header: the same fields up to the checksum, field 20 the output count (1),
    # then zeros.
    magic, version, inputs, hidden, outputs, k, qa, qb, checksum = \
        struct.unpack_from('<8s8I', data)
    if magic != nw.MAGIC:
        raise ValueError('wrong magic')
    if version != V1_VERSION:
        raise ValueError(f'format version {version}; this tool converts version {V1_VERSION}')
    if (inputs, hidden, outputs, qa, qb) != (rec.FEATURES, nw.DEFAULT_HIDDEN, 1, nw.QA, nw.QB):
        raise ValueError(f'unexpected sizes or scales {inputs}x{hidden}x{outputs}, '
                         f'QA {qa} QB {qb}')
    if len(data) != nw.network_size(hidden, 1):
        raise ValueError(f'size {len(data)}, expected {nw.network_size(hidden, 1)}')
    body = data[nw.HEADER_SIZE:]
    if nw.fnv1a(body) != checksum:
        raise ValueError('checksum mismatch')
    out = nw.header_bytes(nw.FORMAT_VERSION, hidden, 1, k, nw.fnv1a(body), 0, qb) + body
    nw.parse_network(out)  # K and the weight limits, as any version-2 file
    return out


def main(argv=None):
    p = argparse.ArgumentParser(description='Rewrites a version-1 network file as version 2.')
    p.add_argument('input', help='version-1 network file')
    p.add_argument('output', help='version-2 network file to write')
    args = p.parse_args(argv)
    with open(args.input, 'rb') as f:
        data = f.read(nw.network_size(nw.DEFAULT_HIDDEN, 1) + 1)
    try:
        out = convert(data)
    except ValueError as e:
        sys.exit(f'{args.input}: {e}')
    nw.write_file(out, args.output)
    print(f'{args.output}: version {nw.FORMAT_VERSION}, {len(out)} bytes')
    return 0


if __name__ == '__main__':
    sys.exit(main())
