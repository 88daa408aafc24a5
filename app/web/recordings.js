// Recordings in the page: every game's, saved when it ends; one opened or
// dropped plays at once, in place of the game running (whose recording stays
// savable). Of several opened in a row, the last one chosen plays, whichever
// is read first.

import { note } from './lines.js';
import { awaitRecording, lastRecording, playRecording, recordingUnreadable } from './games.js';

const body = document.body;
const saveButton = document.getElementById('save-recording');
const openInput = document.getElementById('open-recording');

const twoDigits = (n) => String(n).padStart(2, '0');

function save() {
  const recording = lastRecording();
  if (recording === null) {
    return;
  }
  const t = recording.started;
  const name = `chaser-${t.getFullYear()}${twoDigits(t.getMonth() + 1)}${twoDigits(t.getDate())}-` +
    `${twoDigits(t.getHours())}${twoDigits(t.getMinutes())}${twoDigits(t.getSeconds())}.replay`;
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([recording.bytes], { type: 'application/octet-stream' }));
  link.download = name;
  link.hidden = true;
  body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

let lastOpened = 0;  // the number of the last file chosen

function openRecording(file) {
  const opened = ++lastOpened;
  awaitRecording();
  let name = file.name.replace(/[/\\]/g, '_');
  if (name === '' || name === '.' || name === '..') {
    name = 'recording.replay';
  }
  file.arrayBuffer().then((bytes) => {
    if (opened === lastOpened) {
      playRecording({ name, bytes: new Uint8Array(bytes) });
    }
  }, (error) => {
    if (opened === lastOpened) {
      recordingUnreadable('Could not read ' + name + ': ' + error.message);
    }
  });
}

// Several files at once: the first plays, and the page says so.
function openFiles(files) {
  if (files.length > 1) {
    note(`${files.length} files at once: ${files[0].name} plays.`);
  }
  if (files.length > 0) {
    openRecording(files[0]);
  }
}

export function startRecordings() {
  saveButton.addEventListener('click', save);
  for (const button of document.querySelectorAll('button.open')) {
    button.addEventListener('click', () => openInput.click());
  }
  openInput.addEventListener('change', () => {
    const files = Array.from(openInput.files);
    openInput.value = '';  // the same file chosen again is a change again
    openFiles(files);
  });
  const carriesFiles = (event) => Array.from(event.dataTransfer?.types || []).includes('Files');
  document.addEventListener('dragover', (event) => {
    if (carriesFiles(event)) {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
      body.classList.add('dragging');
    }
  });
  document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) {
      body.classList.remove('dragging');
    }
  });
  document.addEventListener('drop', (event) => {
    body.classList.remove('dragging');
    if (carriesFiles(event)) {
      event.preventDefault();
      openFiles(Array.from(event.dataTransfer.files));
    }
  });
}
