#!/usr/bin/env node
// Draws the board's three buttons (previous, next, reply) and writes them as GIF files.
//   node make-buttons.js OUTDIR
// The images are committed under site/board/image; rerun this after changing a label.
'use strict';
const fs = require('fs');
const path = require('path');

// 5x7 glyphs of the letters the labels use; '#' is ink.
const FONT = {
  P: ['####.', '#...#', '#...#', '####.', '#....', '#....', '#....'],
  N: ['#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#', '#...#'],
  R: ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
  e: ['.....', '.....', '.###.', '#...#', '#####', '#....', '.###.'],
  l: ['.##..', '..#..', '..#..', '..#..', '..#..', '..#..', '.###.'],
  p: ['.....', '.....', '####.', '#...#', '####.', '#....', '#....'],
  r: ['.....', '.....', '#.##.', '##..#', '#....', '#....', '#....'],
  t: ['.#...', '.#...', '###..', '.#...', '.#...', '.#..#', '..##.'],
  v: ['.....', '.....', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
  x: ['.....', '.....', '#...#', '.#.#.', '..#..', '.#.#.', '#...#'],
  y: ['.....', '.....', '#...#', '#...#', '.####', '....#', '.###.'],
  '<': ['...#.', '..#..', '.#...', '#....', '.#...', '..#..', '...#.'],
  '>': ['.#...', '..#..', '...#.', '....#', '...#.', '..#..', '.#...'],
  ' ': ['.....', '.....', '.....', '.....', '.....', '.....', '.....'],
};

// Palette: 0 face, 1 ink, 2 light edge, 3 dark edge.
const PALETTE = [
  [0xe8, 0xec, 0xf4], [0x10, 0x2a, 0x5c], [0xff, 0xff, 0xff], [0x60, 0x70, 0x90],
];

function drawButton(label) {
  const width = 64;
  const height = 20;
  const px = new Uint8Array(width * height);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      let c = 0;
      if (y === 0 || x === 0) c = 2;
      if (y === height - 1 || x === width - 1) c = 3;
      px[y * width + x] = c;
    }
  }
  const textWidth = label.length * 6 - 1;
  let x0 = Math.floor((width - textWidth) / 2);
  const y0 = Math.floor((height - 7) / 2);
  for (const ch of label) {
    const glyph = FONT[ch];
    if (!glyph) throw new Error('no glyph for ' + JSON.stringify(ch));
    for (let gy = 0; gy < 7; gy++)
      for (let gx = 0; gx < 5; gx++)
        if (glyph[gy][gx] === '#') px[(y0 + gy) * width + x0 + gx] = 1;
    x0 += 6;
  }
  return { width, height, px };
}

// Variable-width LZW as GIF wants it, least significant bit first.
function lzw(minCodeSize, pixels) {
  const clear = 1 << minCodeSize;
  const end = clear + 1;
  const out = [];
  let bitBuf = 0;
  let bitCount = 0;
  let codeSize = minCodeSize + 1;
  const emit = (code) => {
    bitBuf |= code << bitCount;
    bitCount += codeSize;
    while (bitCount >= 8) {
      out.push(bitBuf & 0xff);
      bitBuf >>>= 8;
      bitCount -= 8;
    }
  };
  let dict = new Map();
  let next = end + 1;
  const reset = () => {
    dict = new Map();
    next = end + 1;
    codeSize = minCodeSize + 1;
  };
  emit(clear);
  let prefix = pixels[0];
  for (let i = 1; i < pixels.length; i++) {
    const k = pixels[i];
    const key = prefix * 256 + k;
    if (dict.has(key)) {
      prefix = dict.get(key);
      continue;
    }
    emit(prefix);
    if (next < 4096) {
      dict.set(key, next++);
      if (next > 1 << codeSize && codeSize < 12) codeSize++;
    } else {
      emit(clear);
      reset();
    }
    prefix = k;
  }
  emit(prefix);
  emit(end);
  if (bitCount > 0) out.push(bitBuf & 0xff);
  return Buffer.from(out);
}

function encodeGif({ width, height, px }) {
  const parts = [];
  const u16 = (v) => Buffer.from([v & 0xff, v >> 8]);
  parts.push(Buffer.from('GIF89a', 'ascii'), u16(width), u16(height));
  parts.push(Buffer.from([0xf1, 0, 0])); // global table of 4 colours
  for (const [r, g, b] of PALETTE) parts.push(Buffer.from([r, g, b]));
  parts.push(Buffer.from([0x2c]), u16(0), u16(0), u16(width), u16(height), Buffer.from([0]));
  const minCodeSize = 2;
  parts.push(Buffer.from([minCodeSize]));
  const data = lzw(minCodeSize, px);
  for (let i = 0; i < data.length; i += 255) {
    const block = data.subarray(i, i + 255);
    parts.push(Buffer.from([block.length]), block);
  }
  parts.push(Buffer.from([0, 0x3b]));
  return Buffer.concat(parts);
}

const outDir = process.argv[2];
if (!outDir || process.argv.includes('--help')) {
  console.log('usage: make-buttons.js OUTDIR   writes previous.gif, next.gif and reply.gif');
  process.exit(outDir ? 0 : 2);
}
for (const [file, label] of [['previous.gif', '< Prev'], ['next.gif', 'Next >'], ['reply.gif', 'Reply']]) {
  fs.writeFileSync(path.join(outDir, file), encodeGif(drawButton(label)));
}
