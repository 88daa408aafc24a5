// Test hooks: everything the page shows only for the browser tests and the
// figures (tests/web, bench/web), in one place. Nothing else in the page
// exists for them.
//
// - window.Module: the running game's program (the tests read its file
//   system), null once it has ended, so nothing keeps a finished game;
// - document.title "ended STATUS" and body[data-exit-status] STATUS, once a
//   game has ended: its exit status, or "none" when it stopped without one;
// - body[data-fit]: the size rule the picture follows ("whole 3",
//   "reduced from 2");
// - #touch-pad[data-held] (controls.js) also styles the pad.

export function showProgram(module) {
  window.Module = module;
}

export function markEnd(status) {
  const text = status === null ? 'none' : String(status);
  document.body.dataset.exitStatus = text;
  document.title = 'ended ' + text;
}

export function clearEnd() {
  delete document.body.dataset.exitStatus;
  document.title = 'Chaser';
}

export function markFit(rule) {
  document.body.dataset.fit = rule;
}
