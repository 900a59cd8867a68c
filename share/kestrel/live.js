// The live view: the viewer's scene drawn by three.js, kept up to date by
// the viewer's push stream (Server-Sent Events on /api/stream).
//
// Protocol: the stream's first event, "hello", says the stream starts after
// update N. The page then fetches the full description (/api/scene, seq S
// >= N) and applies, in order, the "update" events with seq > S; updates
// that arrive while the description loads wait. A missing seq, or a
// "resync" event (the viewer dropped updates this page did not read in
// time), makes the page fetch the full description again. Meshes are
// fetched once by id (/api/meshes/ID); textures are image URLs.
//
// Navigation is like the window's EXAMINE: drag to turn about the centre,
// shift-drag or middle-drag to pan, wheel or right-drag to zoom, "a" or the
// button to view all. A click on an object selects it: the viewer gets
// "setobject NAME" and the panel shows its name, info text and fields.
//
// When the viewer replays a journal (/api/replay answers), a bar like the
// window's replay bar plays, pauses, sets the speed and seeks; the scene is
// the journal's then, so a click selects without telling the viewer.
(function () {
  'use strict';

  const view = document.getElementById('view');
  const status = document.getElementById('status');
  const live = {
    seq: 0, ready: false, objects: [], selected: -1, frames: 0,
    changedAt: {},  // object name -> Date.now() when its items last changed
  };
  window.kestrelLive = live;

  function webglWorks() {
    try {
      const c = document.createElement('canvas');
      return !!(c.getContext('webgl') || c.getContext('experimental-webgl'));
    } catch (e) {
      return false;
    }
  }
  if (typeof THREE === 'undefined' || !webglWorks()) {
    view.innerHTML = '<p id="noWebGL">This browser cannot draw the live view (no WebGL).</p>';
    live.failed = true;
    return;
  }

  // Software GL (no GPU) draws three times faster without multisampling.
  function softwareGL() {
    const gl = document.createElement('canvas').getContext('webgl');
    const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    const name = info ? String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL)) : '';
    return /swiftshader|llvmpipe|softpipe|software/i.test(name);
  }
  const renderer = new THREE.WebGLRenderer({ antialias: !softwareGL(), preserveDrawingBuffer: true });
  view.insertBefore(renderer.domElement, view.firstChild);
  const scene = new THREE.Scene();
  const camera = new THREE.PerspectiveCamera(45, 1, 0.1, 10000);
  const headlight = new THREE.DirectionalLight(0xffffff, 1);
  headlight.position.set(0, 0, 1);
  camera.add(headlight);
  scene.add(camera);
  const ambient = new THREE.AmbientLight(0xffffff, 0.2);
  scene.add(ambient);
  let sceneLights = new THREE.Group();
  scene.add(sceneLights);
  let scenery = new THREE.Group();
  scene.add(scenery);
  const objectRoot = new THREE.Group();
  scene.add(objectRoot);
  let fieldOfView = 0.785398;

  // Meshes by id: a promise of the BufferGeometry (or null for lines and
  // points, which get their own).
  const meshes = new Map();
  const textures = new Map();

  function geometryFor(id) {
    if (!meshes.has(id)) {
      meshes.set(id, fetch('/api/meshes/' + encodeURIComponent(id))
        .then((r) => (r.ok ? r.json() : null))
        .then((m) => (m ? bufferGeometry(m) : null))
        .catch(() => null));
    }
    return meshes.get(id);
  }

  function bufferGeometry(m) {
    const g = new THREE.BufferGeometry();
    g.setAttribute('position', new THREE.Float32BufferAttribute(m.positions, 3));
    if (m.normals.length) g.setAttribute('normal', new THREE.Float32BufferAttribute(m.normals, 3));
    if (m.colors.length) g.setAttribute('color', new THREE.Float32BufferAttribute(m.colors, 3));
    if (m.uvs.length) g.setAttribute('uv', new THREE.Float32BufferAttribute(m.uvs, 2));
    g.computeBoundingSphere();
    g.userData = { kind: m.kind, solid: m.solid, colored: m.colors.length > 0 };
    return g;
  }

  function textureFor(url) {
    if (!textures.has(url)) textures.set(url, new THREE.TextureLoader().load(url, () => { dirty = true; }));
    return textures.get(url);
  }

  const colorOf = (c) => new THREE.Color(c[0], c[1], c[2]);

  function materialFor(item, g) {
    const m = item.material;
    const common = {
      transparent: m.transparency > 0,
      opacity: 1 - m.transparency,
      side: g.userData.solid ? THREE.FrontSide : THREE.DoubleSide,
      vertexColors: g.userData.colored ? THREE.VertexColors : THREE.NoColors,
    };
    if (item.texture) common.map = textureFor(item.texture);
    if (g.userData.kind === 'lines') {
      return new THREE.LineBasicMaterial({ color: m.lit ? colorOf(m.emissive) : 0xffffff, ...common });
    }
    if (g.userData.kind === 'points') {
      return new THREE.PointsMaterial({ color: m.lit ? colorOf(m.emissive) : 0xffffff, size: 2,
                                        sizeAttenuation: false, ...common });
    }
    if (!m.lit) return new THREE.MeshBasicMaterial({ color: 0xffffff, ...common });
    return new THREE.MeshPhongMaterial({
      color: g.userData.colored ? 0xffffff : colorOf(m.diffuse),
      emissive: colorOf(m.emissive),
      specular: colorOf(m.specular),
      shininess: Math.max(1, m.shininess * 128),
      ...common,
    });
  }

  // The three.js object drawing ITEM with geometry G.
  function made(item, g) {
    if (!g) return new THREE.Object3D();  // a mesh that could not be had
    const material = materialFor(item, g);
    const object = g.userData.kind === 'lines' ? new THREE.LineSegments(g, material)
      : g.userData.kind === 'points' ? new THREE.Points(g, material)
        : new THREE.Mesh(g, material);
    object.matrixAutoUpdate = false;
    object.matrix.fromArray(item.matrix);
    object.userData.mesh = item.mesh;
    return object;
  }

  function dispose(object) {
    if (object.material) object.material.dispose();
  }

  // GROUP's children become ITEMS. Same meshes in the same order: only
  // matrices and materials change, at once; otherwise the new children
  // replace the old ones when their meshes are here.
  function setItems(group, items) {
    group.userData.stamp = (group.userData.stamp || 0) + 1;
    const stamp = group.userData.stamp;
    const kept = group.children.length === items.length &&
      items.every((item, i) => group.children[i].userData.mesh === item.mesh && group.children[i].geometry);
    if (kept) {
      items.forEach((item, i) => {
        const child = group.children[i];
        child.matrix.fromArray(item.matrix);
        child.matrixWorldNeedsUpdate = true;
        dispose(child);
        child.material = materialFor(item, child.geometry);
      });
      dirty = true;
      return;
    }
    Promise.all(items.map((item) => geometryFor(item.mesh))).then((geometries) => {
      if (group.userData.stamp !== stamp) return;  // replaced meanwhile
      while (group.children.length) {
        const child = group.children[group.children.length - 1];
        group.remove(child);
        dispose(child);
      }
      items.forEach((item, i) => group.add(made(item, geometries[i])));
      dirty = true;
    });
  }

  function makeObject(o) {
    const group = new THREE.Group();
    group.userData = { id: o.id };
    group.visible = o.visible;
    objectRoot.add(group);
    live.objects[o.id] = { state: o, group: group };
    setItems(group, o.items);
    live.changedAt[o.name] = Date.now();
  }

  function removeFrom(first) {
    while (live.objects.length > first) {
      const gone = live.objects.pop();
      if (gone) objectRoot.remove(gone.group);
    }
    if (live.selected >= first) select(-1);
  }

  // The Background's colours as a picture behind the scene: the sky from
  // zenith (top) to horizon (middle), the ground from horizon to nadir. An
  // approximation of the window's sky sphere that does not turn with the eye.
  function backgroundFor(sky, ground) {
    if (sky.length <= 1 && !ground.length) return colorOf(sky[0] || [0, 0, 0]);
    const canvas = document.createElement('canvas');
    canvas.width = 2;
    canvas.height = 256;
    const g = canvas.getContext('2d');
    const gradient = g.createLinearGradient(0, 0, 0, 256);
    const css = (c) => `rgb(${c.map((x) => Math.round(x * 255)).join(',')})`;
    const bottom = ground.length ? 0.5 : 1;
    sky.forEach((c, i) => gradient.addColorStop(sky.length > 1 ? (i / (sky.length - 1)) * bottom : 0, css(c)));
    ground.slice().reverse().forEach((c, i, all) =>
      gradient.addColorStop(0.5 + (all.length > 1 ? (i / (all.length - 1)) * 0.5 : 0.001), css(c)));
    g.fillStyle = gradient;
    g.fillRect(0, 0, 2, 256);
    return new THREE.CanvasTexture(canvas);
  }

  function setView(v) {
    fieldOfView = v.fieldOfView;
    scene.background = backgroundFor(v.sky, v.ground);
    headlight.visible = v.headlight;
    scene.remove(sceneLights);
    sceneLights = new THREE.Group();
    let ambientSum = 0;
    for (const l of v.lights) {
      const color = colorOf(l.color);
      let light;
      if (l.kind === 'point') {
        light = new THREE.PointLight(color, l.intensity);
        light.position.set(l.location[0], l.location[1], l.location[2]);
      } else if (l.kind === 'spot') {
        light = new THREE.SpotLight(color, l.intensity);
        light.position.set(l.location[0], l.location[1], l.location[2]);
        light.target.position.set(l.location[0] + l.direction[0], l.location[1] + l.direction[1],
                                  l.location[2] + l.direction[2]);
        sceneLights.add(light.target);
      } else {
        light = new THREE.DirectionalLight(color, l.intensity);
        light.position.set(-l.direction[0], -l.direction[1], -l.direction[2]);
      }
      ambientSum += l.ambientIntensity * l.intensity;
      sceneLights.add(light);
    }
    ambient.intensity = Math.min(1, 0.2 + ambientSum);
    scene.add(sceneLights);
    const o = v.orientation;
    examine.jumpTo(new THREE.Vector3(v.position[0], v.position[1], v.position[2]),
                   new THREE.Quaternion().setFromAxisAngle(new THREE.Vector3(o[0], o[1], o[2]).normalize(), o[3]));
    resize();
  }

  function buildScene(s) {
    removeFrom(0);
    live.objects = [];
    s.objects.forEach(makeObject);
    scene.remove(scenery);
    scenery = new THREE.Group();
    scene.add(scenery);
    setItems(scenery, s.scenery);
    if (!live.viewSet || JSON.stringify(s.view) !== JSON.stringify(live.view)) {
      live.view = s.view;
      live.viewSet = true;
      setView(s.view);
    }
    live.seq = s.seq;
    showSelected();
  }

  function applySet(c) {
    const entry = live.objects[c.id];
    if (!entry) return;
    for (const key of Object.keys(c)) {
      if (key !== 'op' && key !== 'id' && key !== 'items' && key !== 'matrices') entry.state[key] = c[key];
    }
    if (c.matrices) {
      // The same shapes, moved.
      c.matrices.forEach((m, i) => {
        if (entry.state.items[i]) entry.state.items[i].matrix = m;
        const child = entry.group.children[i];
        if (child) {
          child.matrix.fromArray(m);
          child.matrixWorldNeedsUpdate = true;
        }
      });
    }
    if ('visible' in c) entry.group.visible = c.visible;
    if (c.items) {
      entry.state.items = c.items;
      setItems(entry.group, c.items);
    }
    live.changedAt[entry.state.name] = Date.now();
    if (c.id === live.selected) showSelected();
  }

  function applyUpdate(u) {
    if (u.seq <= live.seq) return;
    if (u.seq !== live.seq + 1) {
      resync();
      return;
    }
    for (const c of u.changes) {
      if (c.op === 'set') applySet(c);
      else if (c.op === 'add') makeObject(c.object);
      else if (c.op === 'remove') removeFrom(c.from);
      else if (c.op === 'scenery') setItems(scenery, c.items);
      else if (c.op === 'view') { live.view = c.view; setView(c.view); }
    }
    live.seq = u.seq;
    live.appliedAt = Date.now();
    dirty = true;
  }

  // Fetching the description; updates wait in WAITING meanwhile.
  let waiting = [];
  let generation = 0;
  function resync() {
    live.ready = false;
    const mine = ++generation;
    fetch('/api/scene').then((r) => r.json()).then((s) => {
      if (mine !== generation) return;
      buildScene(s);
      live.ready = true;
      const pending = waiting;
      waiting = [];
      pending.forEach(applyUpdate);
      status.textContent = 'live';
      dirty = true;
    }).catch(() => {
      if (mine === generation) setTimeout(resync, 1000);
    });
  }

  function connect() {
    const events = new EventSource('/api/stream');
    events.addEventListener('hello', () => { waiting = []; resync(); });
    events.addEventListener('update', (e) => {
      const u = JSON.parse(e.data);
      if (live.ready) applyUpdate(u);
      else waiting.push(u);
    });
    events.addEventListener('resync', () => { waiting = []; resync(); });
    events.onerror = () => { status.textContent = 'reconnecting'; live.ready = false; };
  }

  // EXAMINE: the eye turns about a centre at a distance in front of it.
  const examine = {
    position: new THREE.Vector3(0, 0, 10),
    orientation: new THREE.Quaternion(),
    distance: 10,
    center() {
      return new THREE.Vector3(0, 0, -this.distance).applyQuaternion(this.orientation).add(this.position);
    },
    jumpTo(position, orientation) {
      this.position.copy(position);
      this.orientation.copy(orientation);
      dirty = true;
    },
    turn(dx, dy) {
      const center = this.center();
      const yaw = new THREE.Quaternion().setFromAxisAngle(new THREE.Vector3(0, 1, 0), -dx * 0.01);
      const pitchAxis = new THREE.Vector3(1, 0, 0).applyQuaternion(this.orientation);
      const pitch = new THREE.Quaternion().setFromAxisAngle(pitchAxis, -dy * 0.01);
      const q = yaw.multiply(pitch);
      this.orientation.premultiply(q);
      this.position.sub(center).applyQuaternion(q).add(center);
      dirty = true;
    },
    pan(dx, dy) {
      const scale = this.distance * 0.002;
      const move = new THREE.Vector3(-dx * scale, dy * scale, 0).applyQuaternion(this.orientation);
      this.position.add(move);
      dirty = true;
    },
    zoom(amount) {
      const step = this.distance * (1 - Math.pow(0.999, -amount));
      const forward = new THREE.Vector3(0, 0, -1).applyQuaternion(this.orientation);
      const before = this.center();
      this.distance = Math.max(0.01, this.distance - step);
      this.position.copy(before).sub(forward.multiplyScalar(this.distance));
      dirty = true;
    },
    viewAll() {
      const box = new THREE.Box3();
      objectRoot.updateMatrixWorld(true);
      scenery.updateMatrixWorld(true);
      box.expandByObject(objectRoot);
      box.expandByObject(scenery);
      if (box.isEmpty()) return;
      const sphere = box.getBoundingSphere(new THREE.Sphere());
      const fov = Math.min(camera.fov * Math.PI / 180, 2 * Math.atan(Math.tan(camera.fov * Math.PI / 360) * camera.aspect));
      this.distance = Math.max(0.01, sphere.radius / Math.sin(fov / 2));
      const forward = new THREE.Vector3(0, 0, -1).applyQuaternion(this.orientation);
      this.position.copy(sphere.center).sub(forward.multiplyScalar(this.distance));
      dirty = true;
    },
  };

  let drag = null;
  const canvas = renderer.domElement;
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('mousedown', (e) => {
    drag = { x: e.clientX, y: e.clientY, startX: e.clientX, startY: e.clientY, button: e.button, shift: e.shiftKey };
  });
  window.addEventListener('mousemove', (e) => {
    if (!drag) return;
    const dx = e.clientX - drag.x, dy = e.clientY - drag.y;
    drag.x = e.clientX;
    drag.y = e.clientY;
    if (drag.button === 2) examine.zoom(-dy * 5);
    else if (drag.button === 1 || drag.shift) examine.pan(dx, dy);
    else examine.turn(dx, dy);
  });
  window.addEventListener('mouseup', (e) => {
    if (drag && Math.abs(e.clientX - drag.startX) + Math.abs(e.clientY - drag.startY) < 4 && drag.button === 0) {
      pick(e.clientX, e.clientY);
    }
    drag = null;
  });
  canvas.addEventListener('wheel', (e) => { e.preventDefault(); examine.zoom(-e.deltaY); }, { passive: false });
  window.addEventListener('keydown', (e) => { if (e.key === 'a') examine.viewAll(); });
  document.getElementById('viewAll').addEventListener('click', () => examine.viewAll());

  // The object under the page point (X, Y), or -1.
  function objectAt(x, y) {
    const rect = canvas.getBoundingClientRect();
    const ndc = new THREE.Vector2(((x - rect.left) / rect.width) * 2 - 1, -((y - rect.top) / rect.height) * 2 + 1);
    const ray = new THREE.Raycaster();
    ray.setFromCamera(ndc, camera);
    scene.updateMatrixWorld(true);
    for (const hit of ray.intersectObject(objectRoot, true)) {
      let node = hit.object;
      while (node && node.parent !== objectRoot) node = node.parent;
      if (node && node.visible) return node.userData.id;
    }
    return -1;
  }
  live.objectAt = objectAt;

  function pick(x, y) {
    const id = objectAt(x, y);
    select(id);
    if (id < 0 || live.replay) return;
    fetch('/api/commands', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(['setobject ' + live.objects[id].state.name]),
    });
  }

  function select(id) {
    live.selected = id;
    showSelected();
  }

  function showSelected() {
    const entry = live.objects[live.selected];
    const name = document.getElementById('selectedName');
    const info = document.getElementById('selectedInfo');
    const table = document.getElementById('selectedProperties');
    table.textContent = '';
    if (!entry) {
      name.textContent = 'No object selected';
      info.textContent = '';
      return;
    }
    const s = entry.state;
    name.textContent = s.name;
    info.textContent = s.info || '';
    const shown = ['translation', 'rotation', 'scale', 'diffuseColor', 'emissiveColor', 'transparency', 'visible', 'group'];
    for (const key of shown) {
      const row = table.insertRow();
      row.insertCell().textContent = key;
      const v = s[key];
      row.insertCell().textContent = Array.isArray(v) ? v.map((n) => +n.toFixed(3)).join(' ') : String(v);
    }
  }

  // For tests and benchmarks: the world position of an object's first shape.
  live.positionOf = (name) => {
    const entry = live.objects.find((o) => o && o.state.name === name);
    if (!entry || !entry.group.children.length) return null;
    const m = entry.group.children[0].matrix.elements;
    return [m[12], m[13], m[14]];
  };
  live.visibleOf = (name) => {
    const entry = live.objects.find((o) => o && o.state.name === name);
    return entry ? entry.group.visible : null;
  };
  // Whether the first shape of NAME is drawn inside the canvas now.
  live.onScreen = (name) => {
    const p = live.positionOf(name);
    if (!p) return false;
    camera.position.copy(examine.position);
    camera.quaternion.copy(examine.orientation);
    camera.updateMatrixWorld(true);
    const v = new THREE.Vector3(p[0], p[1], p[2]).project(camera);
    return Math.abs(v.x) <= 1 && Math.abs(v.y) <= 1 && v.z < 1;
  };
  live.pixelAt = (fx, fy) => {
    const gl = renderer.getContext();
    const x = Math.floor(gl.drawingBufferWidth * fx), y = Math.floor(gl.drawingBufferHeight * (1 - fy));
    const p = new Uint8Array(4);
    gl.readPixels(x, y, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, p);
    return Array.from(p);
  };

  function resize() {
    const w = view.clientWidth || 1, h = view.clientHeight || 1;
    renderer.setSize(w, h, false);
    camera.aspect = w / h;
    // The Viewpoint's field of view spans the smaller side.
    const vertical = w >= h ? fieldOfView : 2 * Math.atan(Math.tan(fieldOfView / 2) * h / w);
    camera.fov = vertical * 180 / Math.PI;
    camera.updateProjectionMatrix();
    dirty = true;
  }
  window.addEventListener('resize', resize);

  let dirty = true;
  function frame() {
    requestAnimationFrame(frame);
    if (!dirty && !live.continuous) return;
    dirty = false;
    camera.position.copy(examine.position);
    camera.quaternion.copy(examine.orientation);
    renderer.render(scene, camera);
    live.frames++;
  }
  // The replay's state is polled every 250 ms rather than pushed: it is a
  // few bytes, the push stream stays the scene's alone, and a page that
  // missed some polls is right again at the next.
  const replaySpeeds = [0.25, 0.5, 1, 2, 4, 8, 16, 64, 256];
  let replaySeeking = false;
  live.replay = null;
  function secondsText(ms) { return (ms / 1000).toFixed(1); }
  function showReplay(r) {
    live.replay = r;
    document.getElementById('replay').hidden = false;
    document.getElementById('replayPlay').textContent = r.playing ? 'Pause' : 'Play';
    const slider = document.getElementById('replaySlider');
    slider.max = String(r.end_ms);
    if (!replaySeeking) slider.value = String(r.position_ms);
    document.getElementById('replayTime').textContent =
      secondsText(r.position_ms) + ' s / ' + secondsText(r.end_ms) + ' s';
    const speed = document.getElementById('replaySpeed');
    if (!Array.from(speed.options).some((o) => Number(o.value) === r.speed)) {
      speed.add(new Option(r.speed + 'x', String(r.speed)));
    }
    speed.value = Array.from(speed.options).find((o) => Number(o.value) === r.speed).value;
  }
  function pollReplay() {
    fetch('/api/replay').then((r) => (r.status === 404 ? null : r.json())).then((r) => {
      if (!r) return;  // a live scene: no bar
      showReplay(r);
      setTimeout(pollReplay, 250);
    }).catch(() => setTimeout(pollReplay, 1000));
  }
  function replayRequest(body) {
    return fetch('/api/replay', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    });
  }
  live.replayRequest = replayRequest;
  const speedSelect = document.getElementById('replaySpeed');
  for (const s of replaySpeeds) speedSelect.add(new Option(s + 'x', String(s)));
  speedSelect.addEventListener('change', () => replayRequest({ speed: Number(speedSelect.value) }));
  document.getElementById('replayPlay').addEventListener('click', () => {
    if (live.replay) replayRequest({ action: live.replay.playing ? 'pause' : 'play' });
  });
  const replaySlider = document.getElementById('replaySlider');
  replaySlider.addEventListener('input', () => { replaySeeking = true; });
  replaySlider.addEventListener('change', () => {
    replaySeeking = false;
    replayRequest({ action: 'seek', ms: Number(replaySlider.value) });
  });

  resize();
  connect();
  pollReplay();
  requestAnimationFrame(frame);
})();
