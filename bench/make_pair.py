#!/usr/bin/env python3
"""Writes the benchmarks' pair of 30 KB files, uno.txt and dos.txt, into the folder given:
500 lines of 58 characters, about one character in ten different."""
import random
import sys

random.seed(7)
rows = [''.join(random.choice('abcdefghijklmnopqrstuvwxyz ') for _ in range(58)) for _ in range(500)]
other = [''.join(c if random.random() > 0.1 else '#' for c in row) for row in rows]
open(sys.argv[1] + '/uno.txt', 'w').write('\n'.join(rows) + '\n')
open(sys.argv[1] + '/dos.txt', 'w').write('\n'.join(other) + '\n')
