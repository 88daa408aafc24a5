// The switches a game runs with: the address's, and the files the page
// gives its program (a recording to play, where it records and writes its
// digests).

import { note } from './lines.js';

// --- The address's switches --------------------------------------------------
//
// index.html?replay=URL&digests=1&unpaced=1 plays a recording from the same
// site instead of the keys, writes a digest of every frame shown (shown in
// <pre id="digests"> when the game ends, line for line as the program wrote
// them) and runs as fast as it can. A recording opened in the page takes
// digests and unpaced from the address too. A value other than 0 or 1 is
// named, as the game names one in its own switches, and not taken.
const query = new URLSearchParams(window.location.search);
function onOff(name, meaning) {
  const value = query.get(name);
  if (value !== null && value !== '0' && value !== '1') {
    note(`${name}="${value}" is neither 0 nor 1; ${meaning}`);
  }
  return value === '1';
}
export const wantsDigests = onOff('digests', 'no digests are written');
const unpaced = onOff('unpaced', 'frames are paced');
// An empty replay= names no recording.
export const addressReplay = query.get('replay') || null;

// The page's own files, in a folder of their own in each game's file system,
// so a player's recording, which goes into the working folder under its own
// name, never has one of their names.
const kPageFolder = '/page';
export const kRecordFile = kPageFolder + '/recorded.replay';
export const kDigestFile = kPageFolder + '/frames.digests';

// Places a file of a player's in the working folder under its own name (a
// path of plain names keeps its folders), so the game names it as given;
// in a folder of its own when that name is taken (resource, tmp, ...).
function placeFile(FS, name, bytes) {
  const parts = name.split('/');
  let folder = '';
  for (const part of parts.slice(0, -1)) {
    folder += '/' + part;
    const found = FS.analyzePath(folder);
    if (!found.exists) {
      FS.mkdir(folder);
    } else if (!FS.isDir(found.object.mode)) {
      return placeFile(FS, parts[parts.length - 1], bytes);
    }
  }
  let file = name;
  if (FS.analyzePath('/' + file).exists || parts[0] === kPageFolder.slice(1)) {
    FS.mkdirTree('/recordings');
    file = 'recordings/' + parts[parts.length - 1];
  }
  FS.writeFile('/' + file, bytes);
  return file;
}

export function setSwitches(module, replay) {
  module.FS.mkdir(kPageFolder);
  module.ENV.DXLIBDLL_RECORD = kRecordFile;
  if (wantsDigests) {
    module.ENV.DXLIBDLL_DIGESTS = kDigestFile;
  }
  if (unpaced) {
    module.ENV.DXLIBDLL_UNPACED = '1';
  }
  if (replay === null) {
    return;
  }
  if (replay.bytes) {
    module.ENV.DXLIBDLL_REPLAY = placeFile(module.FS, replay.name, replay.bytes);
    return;
  }
  // Only from this site: a page address cannot make the game fetch from
  // elsewhere. The file is named in the game as the address names it, when
  // that is a path of plain names; otherwise by its last name.
  const source = new URL(replay.url, window.location.href);
  const plain = /^[\w-][\w.-]*(\/[\w-][\w.-]*)*$/.test(replay.url);
  const name = plain ? replay.url : source.pathname.split('/').pop() || 'recording.replay';
  if (source.origin !== window.location.origin) {
    module.printErr('The replay must come from this site: ' + replay.url);
    module.ENV.DXLIBDLL_REPLAY = name;
    return;
  }
  module.addRunDependency('replay');
  fetch(source).then((response) => {
    if (!response.ok) {
      throw new Error('HTTP ' + response.status);
    }
    return response.arrayBuffer();
  }).then((bytes) => {
    module.ENV.DXLIBDLL_REPLAY = placeFile(module.FS, name, new Uint8Array(bytes));
  }).catch((error) => {
    // No file written: the game reports the replay it cannot open and ends.
    module.printErr('Could not fetch the replay ' + replay.url + ': ' + error.message);
    module.ENV.DXLIBDLL_REPLAY = name;
  }).finally(() => module.removeRunDependency('replay'));
}

