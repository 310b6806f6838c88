// The checker's worker: {id, bytes (a Uint8Array)} in; {id, check, ms} out,
// ms the time the check took. Only the latest script waiting is checked:
// text typed while a check runs replaces the one before it.
'use strict';
let waiting = null, ready = false;
function next() {
  if (!ready || !waiting) return;
  const id = waiting.id, bytes = waiting.bytes; // (no destructuring: the minifier of Debian's emscripten drops it)
  waiting = null;
  const at = Module._malloc(bytes.length + 1);
  Module.HEAPU8.set(bytes, at);
  const start = performance.now();
  const check = JSON.parse(Module.UTF8ToString(Module._nyra1_check(at, bytes.length)));
  const ms = performance.now() - start;
  Module._free(at);
  postMessage({ id, check, ms });
}
var Module = { onRuntimeInitialized() { ready = true; next(); } };
onmessage = (e) => { waiting = e.data; setTimeout(next, 0); };
