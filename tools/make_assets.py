#!/usr/bin/env python3
"""Draws Zorbel's pictures and synthesises its sounds.

Everything is computed from the parameters in tools/assetgen (the art, the
sounds and the file formats, a module each) with the standard library alone,
so running it again reproduces the committed files byte for byte.
Usage: make_assets.py [--out DIR]   (default: the repository's assets/)
"""

import argparse
import os
import sys

# Run from the source tree: no bytecode caches beside the sources.
sys.dont_write_bytecode = True

from assetgen.art import make_pictures
from assetgen.sounds import make_sounds


def make_all():
    return {**make_pictures(), **make_sounds()}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', default=os.path.join(here, os.pardir, 'assets'),
                        help='directory to write into (default: the repository assets/)')
    args = parser.parse_args()
    for name, data in sorted(make_all().items()):
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
