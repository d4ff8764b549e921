// SPDX-License-Identifier: MIT
// The part of the drawing on screen: a scale and an offset (screen = world
// × scale + offset), changed by the wheel, a pinch, a drag on empty space,
// the keys and the zoom buttons; and the fit that shows a whole box.

const minScale = 0.002;
const maxScale = 4;

export function createView(onChange) {
  const v = { scale: 1, x: 0, y: 0, width: 1, height: 1 };
  const changed = () => onChange(v);
  const clamp = (s) => Math.min(maxScale, Math.max(minScale, s));
  return {
    state: v,
    resize(width, height) {
      v.width = Math.max(1, width);
      v.height = Math.max(1, height);
      changed();
    },
    toWorld(sx, sy) {
      return { x: (sx - v.x) / v.scale, y: (sy - v.y) / v.scale };
    },
    // The world box on screen.
    visibleBox() {
      return { x0: -v.x / v.scale, y0: -v.y / v.scale, x1: (v.width - v.x) / v.scale, y1: (v.height - v.y) / v.scale };
    },
    // Zooms by `factor` keeping the screen point (sx, sy) where it is.
    zoomAt(factor, sx = v.width / 2, sy = v.height / 2) {
      const s = clamp(v.scale * factor);
      v.x = sx - ((sx - v.x) * s) / v.scale;
      v.y = sy - ((sy - v.y) * s) / v.scale;
      v.scale = s;
      changed();
    },
    panBy(dx, dy) {
      v.x += dx;
      v.y += dy;
      changed();
    },
    // Shows the world box whole and centred below the zoom buttons (`top`
    // pixels), never larger than life size.
    fit(box, pad = 16, top = 44) {
      const w = Math.max(1, box.x1 - box.x0);
      const h = Math.max(1, box.y1 - box.y0);
      v.scale = clamp(Math.min(1, (v.width - 2 * pad) / w, (v.height - top - pad) / h));
      v.x = (v.width - w * v.scale) / 2 - box.x0 * v.scale;
      v.y = top + (v.height - top - pad - h * v.scale) / 2 - box.y0 * v.scale;
      changed();
    },
    // Puts the world point in the middle, at `scale` if given.
    centreOn(wx, wy, scale = v.scale) {
      v.scale = clamp(scale);
      v.x = v.width / 2 - wx * v.scale;
      v.y = v.height / 2 - wy * v.scale;
      changed();
    },
  };
}

// Wheel and pinch zoom, drag to pan on `surface`. `isEmpty(target)` says
// whether a press starts a pan; onClick(sx, sy, target) is told of a press
// released without moving.
export function handleViewInput(surface, view, { isEmpty, onClick }) {
  const local = (ev) => {
    const r = surface.getBoundingClientRect();
    return { x: ev.clientX - r.left, y: ev.clientY - r.top };
  };
  surface.addEventListener(
    'wheel',
    (ev) => {
      ev.preventDefault();
      const p = local(ev);
      // A pinch on a touchpad arrives as a wheel with ctrlKey and small steps.
      const step = ev.deltaMode === 1 ? ev.deltaY * 16 : ev.deltaY;
      view.zoomAt(Math.exp(-step * (ev.ctrlKey ? 0.01 : 0.0015)), p.x, p.y);
    },
    { passive: false },
  );
  const pointers = new Map();
  let pinch = null;
  let press = null;
  surface.addEventListener('pointerdown', (ev) => {
    const p = local(ev);
    pointers.set(ev.pointerId, p);
    // A press on empty space pans; one on a block stays the block's (its
    // click, a drag from a port), though a second finger still pinches.
    const empty = isEmpty(ev.target);
    if (empty) surface.setPointerCapture?.(ev.pointerId);
    if (pointers.size === 1) press = empty ? { ...p, moved: false, target: ev.target } : null;
    if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      pinch = { distance: Math.hypot(a.x - b.x, a.y - b.y) };
      press = null;
    }
  });
  surface.addEventListener('pointermove', (ev) => {
    const last = pointers.get(ev.pointerId);
    if (!last) return;
    const p = local(ev);
    pointers.set(ev.pointerId, p);
    if (pinch && pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a.x - b.x, a.y - b.y);
      if (pinch.distance > 0) view.zoomAt(distance / pinch.distance, (a.x + b.x) / 2, (a.y + b.y) / 2);
      pinch.distance = distance;
      return;
    }
    if (press && Math.hypot(p.x - press.x, p.y - press.y) > 3) press.moved = true;
    if (press?.moved) view.panBy(p.x - last.x, p.y - last.y);
  });
  const release = (ev) => {
    if (!pointers.delete(ev.pointerId)) return;
    if (pointers.size < 2) pinch = null;
    if (press && !press.moved && pointers.size === 0) onClick(press.x, press.y, press.target);
    if (pointers.size === 0) press = null;
  };
  surface.addEventListener('pointerup', release);
  surface.addEventListener('pointercancel', release);
}

// Keys on the focused drawing: arrows pan, + and - zoom, 0 fits.
export function handleViewKeys(element, view, fit) {
  const step = 60;
  const actions = {
    ArrowLeft: () => view.panBy(step, 0),
    ArrowRight: () => view.panBy(-step, 0),
    ArrowUp: () => view.panBy(0, step),
    ArrowDown: () => view.panBy(0, -step),
    '+': () => view.zoomAt(1.25),
    '=': () => view.zoomAt(1.25),
    '-': () => view.zoomAt(0.8),
    0: fit,
  };
  element.addEventListener('keydown', (ev) => {
    const action = actions[ev.key];
    if (!action || ev.ctrlKey || ev.metaKey || ev.altKey) return;
    ev.preventDefault();
    action();
  });
}
