// File names, and what follows from a name alone: which files are containers
// and which .ssd files, the path a file was chosen at, a stream number's
// digits, the stream a .ssd file's name gives, what an output is called, and
// whether a folder can hold a name. Nothing here reads the format.

export const isContainer = (path) => /\.srt$/i.test(path);
export const isData = (path) => /\.ssd$/i.test(path);
// A file's path as the browser gives it: from a chosen folder's own name,
// from the top of a dropped folder, or its name alone.
export const pathOf = (file) => file.webkitRelativePath || file.name;
export const folderOf = (path) => path.slice(0, path.lastIndexOf('/') + 1);
// Stryker disable next-line EqualityOperator: no two files of a choice share a path
const byPath = (a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0);
export const sortByPath = (items) => [...items].sort(byPath);

// A stream number is kept as its digits, which reach the tool exactly so:
// no JavaScript number stands between (1e21 would be "1e+21", read as 1).
export const digitsOf = (text) => (/^\d+$/.test(text) ? text : null);
export const fromName = (digits) => digits.replace(/^0+(?=\d)/, '');

// c00.ssd goes with stream 0: the base name ends in the stream number,
// written with two digits at least.
export function pairedStream(name) {
    const match = /(\d{2,})\.ssd$/i.exec(name);
    return match ? fromName(match[1]) : null;
}

// Whether a .ssd file's name before its digits is the container's own,
// letter case and all (c00.ssd for c.srt; C00.SSD is not).
export const closer = (ssdName, containerName) =>
    ssdName.replace(/\d*\.ssd$/i, '') === containerName.replace(/\.srt$/i, '');

// The output is named after its .ssd file, with .kvdsp in place of .ssd.
export const outputName = (ssdName) => ssdName.replace(/\.ssd$/i, '') + '.kvdsp';

// Why some folder (on Windows, macOS or Linux, or a ZIP unzipped there)
// cannot hold this name, one part of a path: { character } for a character
// one of them refuses, 'end' for a trailing dot or space (. and .. too),
// 'device' for a name Windows keeps for a device; null where every one can.
const refused = /[/\\:*?"<>|\u0000-\u001f\u007f]/u;
const device = /^(con|prn|aux|nul|com[1-9\u00b9\u00b2\u00b3]|lpt[1-9\u00b9\u00b2\u00b3])(\.|$)/i;
export function unheld(name) {
    const character = refused.exec(name);
    if (character) {
        return { character: character[0] };
    }
    if (/[. ]$/.test(name)) {
        return 'end';
    }
    return device.test(name) ? 'device' : null;
}
