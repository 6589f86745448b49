// The peers of the sprite packer, run from pack_bench on the same rectangles: npm's
// maxrects-packer (smart sizing) and free-tex-packer-core (its OptimalPacker, which tries every
// method it has). Reads {"sets": {name: [[w, h], ...]}, "cases": [{set, padding, pot, rotate}]}
// on stdin and prints one line per case and peer: "case peer occupancy milliseconds pages".
// Padding is the space between two sprites; free-tex-packer puts its padding on every side of a
// sprite, so it gets half of it (and keeps that half along the sheet's edges as well).
import { createRequire } from 'module';
import { readFileSync } from 'fs';
import path from 'path';

const modules = process.argv[2];
const require = createRequire(path.join(modules, 'x.js'));
const { MaxRectsPacker } = await import(path.join(modules, 'maxrects-packer/dist/maxrects-packer.mjs'));
const PackProcessor = require('free-tex-packer-core/PackProcessor.js');
const OptimalPacker = require('free-tex-packer-core/packers/OptimalPacker.js');
const TextureRenderer = require('free-tex-packer-core/utils/TextureRenderer.js');

const input = JSON.parse(readFileSync(0, 'utf8'));
const reps = input.reps || 3;
const median = (v) => v.sort((a, b) => a - b)[Math.floor(v.length / 2)];

function timed(fn) {
  const times = [];
  let out;
  for (let k = 0; k < reps; ++k) {
    const t0 = process.hrtime.bigint();
    out = fn();
    times.push(Number(process.hrtime.bigint() - t0) / 1e6);
  }
  return [out, median(times)];
}

for (const [index, c] of input.cases.entries()) {
  const rects = input.sets[c.set];
  const area = rects.reduce((a, [w, h]) => a + w * h, 0);

  const [bins, mrMs] = timed(() => {
    const p = new MaxRectsPacker(input.max, input.max, c.padding,
      { smart: true, pot: c.pot, square: false, allowRotation: c.rotate, border: 0 });
    p.addArray(rects.map(([w, h]) => ({ width: w, height: h })));
    return p.bins;
  });
  const mrSheet = bins.reduce((a, b) => a + b.width * b.height, 0);
  console.log(`${index} maxrects-packer ${(area / mrSheet).toFixed(4)} ${mrMs.toFixed(3)} ${bins.length}`);

  const images = {};
  rects.forEach(([w, h], i) => { images['s' + String(i).padStart(5, '0')] = { width: w, height: h, _base64: String(i) }; });
  const options = { width: input.max, height: input.max, padding: c.padding / 2, powerOfTwo: c.pot,
    allowRotation: c.rotate, packer: OptimalPacker, detectIdentical: false, allowTrim: false };
  const [sheets, ftMs] = timed(() => {
    let res = null;
    PackProcessor.pack(images, options, (r) => { res = r; }, (e) => { throw new Error(e.description); });
    return res;
  });
  const ftSheet = sheets.reduce((a, s) => { const z = TextureRenderer.getSize(s, options); return a + z.width * z.height; }, 0);
  console.log(`${index} free-tex-packer-core ${(area / ftSheet).toFixed(4)} ${ftMs.toFixed(3)} ${sheets.length}`);
}
