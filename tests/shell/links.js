// Every relative link of README.md and doc/*.md reaches a file, and where it
// names a heading (#part), a heading of that file, by the anchors a Markdown
// host makes of headings. Fenced blocks and inline code hold no links.
//   node tests/shell/links.js ROOT
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const root = process.argv[2];
const pages = ['README.md', ...fs.readdirSync(path.join(root, 'doc')).filter((n) => n.endsWith('.md')).map((n) => `doc/${n}`)];
const prose = (text) => text.replace(/^```[\s\S]*?^```$/gm, '').replace(/`[^`\n]*`/g, '');
function anchors(page) {
    const seen = new Map();
    return new Set([...prose(fs.readFileSync(path.join(root, page), 'utf8')).matchAll(/^#{1,6} +(.*?) *$/gm)].map(([, title]) => {
        const slug = title.toLowerCase().replace(/[^\p{L}\p{N}\s_-]/gu, '').replace(/\s/g, '-');
        const times = seen.get(slug) || 0;
        seen.set(slug, times + 1);
        return times ? `${slug}-${times}` : slug;
    }));
}
let broken = 0;
for (const page of pages) {
    for (const [, target] of prose(fs.readFileSync(path.join(root, page), 'utf8')).matchAll(/\]\(([^)\s]+)\)/g)) {
        if (/^[a-z]+:/i.test(target)) {
            continue;
        }
        const [file, part] = target.split('#');
        const to = file ? path.normalize(path.join(path.dirname(page), file)) : page;
        const why = !fs.existsSync(path.join(root, to)) ? 'no such file'
            : part !== undefined && !(to.endsWith('.md') && anchors(to).has(part)) ? 'no such heading' : null;
        if (why) {
            console.log(`${page}: ${target}: ${why}`);
            broken += 1;
        }
    }
}
process.exit(broken ? 1 : 0);
