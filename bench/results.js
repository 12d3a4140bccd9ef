// The results files: one a day of full runs, bench/results/DAY.txt, a
// figure a line, "name<TAB>value", sorted by name. bench/run writes the
// run.* names, bench/web.js the web.* ones; each replaces only its own.
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const folder = path.join(__dirname, 'results');

function read(file) {
    const figures = new Map();
    for (const line of fs.readFileSync(file, 'utf8').split('\n').filter(Boolean)) {
        const tab = line.indexOf('\t');
        figures.set(line.slice(0, tab), line.slice(tab + 1));
    }
    return figures;
}

// The newest day's file.
const newest = () => path.join(folder, fs.readdirSync(folder).filter((name) => /^\d{4}-\d\d-\d\d\.txt$/.test(name)).sort().pop());

// Replaces every figure whose name starts with prefix by those of entries.
function update(file, prefix, entries) {
    const figures = fs.existsSync(file) ? read(file) : new Map();
    for (const name of [...figures.keys()].filter((key) => key.startsWith(prefix))) {
        figures.delete(name);
    }
    for (const [name, value] of Object.entries(entries)) {
        figures.set(prefix + name, String(value));
    }
    const lines = [...figures].sort(([a], [b]) => (a < b ? -1 : a > b ? 1 : 0)).map(([name, value]) => `${name}\t${value}\n`);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, lines.join(''));
}

const today = () => path.join(folder, `${new Date().toISOString().slice(0, 10)}.txt`);

module.exports = { read, newest, update, today };
