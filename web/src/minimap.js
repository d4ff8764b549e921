// SPDX-License-Identifier: MIT
// The overview in a corner of a large drawing: every shown block as a dot,
// the part on screen as a frame; a press or drag on it moves the view there.
import { blockWidth } from './layout.js';

export function createMinimap(canvas, view, model) {
  const ctx = canvas.getContext('2d');
  let scale = 1;
  let bounds = { x0: 0, y0: 0, x1: 1, y1: 1 };
  // The offset that centres the drawing in the map.
  let shift = { x: 0, y: 0 };
  const picture = document.createElement('canvas');
  let painted = false;

  const toMap = (x, y) => ({ x: (x - bounds.x0) * scale + shift.x, y: (y - bounds.y0) * scale + shift.y });

  // Draws the blocks once into an image; the frame is drawn over it.
  const paint = () => {
    const { at, shown, box } = model();
    bounds = box;
    scale = Math.min(canvas.width / Math.max(1, box.x1 - box.x0), canvas.height / Math.max(1, box.y1 - box.y0));
    shift = { x: (canvas.width - (box.x1 - box.x0) * scale) / 2, y: (canvas.height - (box.y1 - box.y0) * scale) / 2 };
    picture.width = canvas.width;
    picture.height = canvas.height;
    const pctx = picture.getContext('2d');
    pctx.fillStyle = getComputedStyle(canvas).getPropertyValue('--block-head').trim();
    for (const name of shown) {
      const p = at.get(name);
      if (!p) continue;
      const m = toMap(p.x, p.y);
      pctx.fillRect(m.x, m.y, Math.max(1, blockWidth * scale), Math.max(1, p.h * scale));
    }
    painted = true;
  };

  // Shown for a large network, while part of it is out of the view.
  const frame = () => {
    if (!painted) return;
    const seen = view.visibleBox();
    const whole = seen.x0 <= bounds.x0 && seen.y0 <= bounds.y0 && seen.x1 >= bounds.x1 && seen.y1 >= bounds.y1;
    canvas.hidden = whole || model().shown.size < 30;
    if (canvas.hidden) return;
    ctx.clearRect(0, 0, canvas.width, canvas.height);
    ctx.drawImage(picture, 0, 0);
    const b = view.visibleBox();
    const a = toMap(b.x0, b.y0);
    const z = toMap(b.x1, b.y1);
    ctx.strokeStyle = getComputedStyle(canvas).getPropertyValue('--selected').trim();
    ctx.lineWidth = 2;
    ctx.strokeRect(a.x, a.y, z.x - a.x, z.y - a.y);
  };

  const moveTo = (ev) => {
    const r = canvas.getBoundingClientRect();
    const mx = ((ev.clientX - r.left) * canvas.width) / r.width;
    const my = ((ev.clientY - r.top) * canvas.height) / r.height;
    view.centreOn(bounds.x0 + (mx - shift.x) / scale, bounds.y0 + (my - shift.y) / scale);
  };
  let dragging = false;
  canvas.addEventListener('pointerdown', (ev) => {
    dragging = true;
    canvas.setPointerCapture?.(ev.pointerId);
    moveTo(ev);
    ev.stopPropagation();
  });
  canvas.addEventListener('pointermove', (ev) => dragging && moveTo(ev));
  canvas.addEventListener('pointerup', () => (dragging = false));

  return { paint, frame };
}
