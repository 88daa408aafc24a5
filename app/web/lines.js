// The page's two lines under the screen: the status line (loading, or the
// one line that says why the game cannot start) and the note beside it (what
// the page wants the player to know without stopping anything).

const statusLine = document.getElementById('status');
const noteLine = document.getElementById('note');

export function showStatus(text) {
  // Only a change: each one costs the page a layout and a paint.
  if (statusLine.textContent !== text) {
    statusLine.textContent = text;
  }
}

// The game cannot start here: one line saying what is missing, in place of
// the progress, which stops.
let failed = false;
export function showStartFailure(text) {
  failed = true;
  statusLine.classList.add('failed');
  statusLine.textContent = text;
}
export const startFailed = () => failed;

// Notes add up (each said once), one line each.
export function note(text) {
  const lines = noteLine.textContent === '' ? [] : noteLine.textContent.split('\n');
  if (!lines.includes(text)) {
    lines.push(text);
  }
  noteLine.textContent = lines.join('\n');
  noteLine.hidden = false;
}
