// What a dump writes and what it leaves out, and why: which .ssd file goes
// with which container and stream, what a listing's run tells of its
// container, and the dumps of Dump all, each at the path it is written to.
// What is left out is kept as data ({ path, why }); words.js says it.
import { parse, failedStep } from '../listing_reader.js';
import { closer, folderOf, fromName, isContainer, isData, outputName, pairedStream, sortByPath, unheld } from './names.js';

// Pairs each .ssd file with the container in its own folder whose name it
// continues with the stream number, two digits at least (c00.ssd is stream
// 0 of c.srt); of two containers that could claim it (c1.srt and c10.srt
// for c1000.ssd), the longer name wins. The folder must match letter for
// letter, and so must the name, unless no container's name does: only
// then does one that differs in letter case claim it (C00.ssd goes with
// C.srt where both C.srt and c.srt are there, else with c.srt).
// Gives the containers in path order, each with its .ssd files; pairs, each
// paired .ssd File and its stream's digits (changeable later; null: none);
// the .ssd files no container claims; those left aside because another of
// their container's gives the same output name; and the other files.
export function pairUp(items) {
    const sorted = sortByPath(items);
    const containers = [];
    const exact = new Map();
    const folded = new Map();
    const foldedKey = (stem) => folderOf(stem) + stem.slice(folderOf(stem).length).toLowerCase();
    for (const item of sorted.filter((each) => isContainer(each.path))) {
        const container = { path: item.path, file: item.file, ssds: [] };
        containers.push(container);
        exact.set(item.path.slice(0, -4), container);
        const key = foldedKey(item.path.slice(0, -4));
        folded.has(key) || folded.set(key, container);
    }
    const claim = (stem, names, key) => {
        const digits = /\d*$/.exec(stem)[0].length;
        for (let kept = 2; kept <= digits; ++kept) {
            const claimed = names.get(key(stem.slice(0, stem.length - kept)));
            if (claimed) {
                return { claimed, stream: fromName(stem.slice(stem.length - kept)) };
            }
        }
        return null;
    };
    const pairs = new Map();
    const strays = [];
    const sameOutput = [];
    const outputs = new Map();
    for (const item of sorted.filter((each) => isData(each.path))) {
        const stem = item.path.slice(0, -4);
        const found = claim(stem, exact, (name) => name) || claim(stem, folded, foldedKey);
        if (!found) {
            strays.push(item);
            continue;
        }
        const { claimed, stream } = found;
        // Of two .ssd files of one container that give one output name, the
        // one whose name before its digits is the container's own wins.
        const output = `${claimed.path}\n${outputName(item.file.name).toLowerCase()}`;
        const kept = outputs.get(output);
        if (kept && !(closer(item.file.name, claimed.file.name) && !closer(kept.file.name, claimed.file.name))) {
            sameOutput.push(item);
            continue;
        }
        if (kept) {
            sameOutput.push(kept);
            claimed.ssds = claimed.ssds.filter((file) => file !== kept.file);
            pairs.delete(kept.file);
        }
        outputs.set(output, item);
        claimed.ssds.push(item.file);
        pairs.set(item.file, stream);
    }
    const others = sorted.filter((each) => !isContainer(each.path) && !isData(each.path));
    return { containers, pairs, strays, sameOutput, others };
}

// Adds .ssd files chosen alone to the ones a container has: the same file
// chosen again (edited or put back since) takes the earlier one's place and
// pairing; of two that give one output name, the one whose name before its
// digits is the container's own wins, else the one chosen first. Gives the
// container's .ssd files, their pairs, and those left aside.
export function joined(owner, ssds, pairs, chosen) {
    const files = [...ssds];
    const paired = new Map(pairs);
    const aside = [];
    const output = (file) => outputName(file.name).toLowerCase();
    for (const ssd of chosen) {
        const earlier = files.findIndex((file) => file.name === ssd.name);
        if (earlier >= 0) {
            paired.set(ssd, paired.get(files[earlier]));
            paired.delete(files[earlier]);
            files[earlier] = ssd;
            continue;
        }
        const kept = files.findIndex((file) => output(file) === output(ssd));
        if (kept >= 0 && !(owner && closer(ssd.name, owner.name) && !closer(files[kept].name, owner.name))) {
            aside.push(ssd);
            continue;
        }
        if (kept >= 0) {
            aside.push(files[kept]);
            paired.delete(files[kept]);
            files.splice(kept, 1);
        }
        files.push(ssd);
        paired.set(ssd, pairedStream(ssd.name));
    }
    return { ssds: files, pairs: paired, aside };
}

// What a container's row keeps of its listing's run: its status, stream
// count (null where none was printed), BAD SIZE warnings, failed step, and
// the tool's last line where it failed without one; failed: why the run
// could not be made at all.
export function summarize(result, name) {
    const listing = parse(result.stdout, name);
    const stderr = new TextDecoder().decode(result.stderr);
    return {
        status: result.status,
        count: listing.count,
        warnings: listing.badSize.size + (listing.badEnd ? 1 : 0),
        step: failedStep(stderr),
        last: stderr.trim().split('\n').pop(),
        failed: null,
    };
}
export const notListed = (message) => ({ status: null, count: null, warnings: 0, step: null, last: '', failed: message });

// The same, of the listing in view, once it has ended.
export function summaryOf(listing) {
    if (!listing || !listing.done) {
        return null;
    }
    if (listing.failed) {
        return notListed(listing.failed);
    }
    const warnings = listing.badSize.size + (listing.badEnd ? 1 : 0);
    return { status: listing.status, count: listing.count, warnings, step: listing.step, last: '', failed: null };
}

// Why a folder cannot hold an output at this path, or null: the first part
// of it that none may hold.
function unheldPath(path) {
    for (const part of path.split('/')) {
        const why = unheld(part);
        if (why) {
            return { kind: 'name', part, why };
        }
    }
    return null;
}

// The dumps of "Dump all", of one container or a folder's: every paired
// .ssd file of each container listed well (or asked for: "dump anyway",
// forced holds its index), as outputs at the paths the files were chosen
// at. Left out, each with why: a container not listed well, a .ssd file
// paired with no stream or one past the last, an output whose name a folder
// cannot hold, and one whose path is an earlier output's but for letter
// case (one file on Windows and macOS, and in a ZIP unzipped there).
// summaryAt(index): the container's summary, or null.
export function dumpPlan(containers, summaryAt, pairs, forced) {
    const dumps = [];
    const leftOut = [];
    const written = new Map();
    for (const [index, container] of containers.entries()) {
        const summary = summaryAt(index);
        const at = folderOf(container.path);
        if (container.ssds.length > 0 && (!summary || (summary.status !== 0 && !forced.has(index)))) {
            leftOut.push({ path: container.path, why: { kind: 'listing', summary } });
            continue;
        }
        for (const ssd of container.ssds) {
            const stream = pairs.get(ssd);
            const path = at + ssd.name;
            const name = at + outputName(ssd.name);
            const earlier = written.get(name.toLowerCase());
            const why = stream === null ? { kind: 'unpaired' }
                : summary.count !== null && BigInt(stream) >= BigInt(Math.max(0, summary.count))
                    ? { kind: 'past', container: container.path, stream }
                    : unheldPath(name) || (earlier ? { kind: 'same-output', output: name, earlier } : null);
            if (why) {
                leftOut.push({ path, why });
            } else {
                written.set(name.toLowerCase(), name);
                dumps.push({ container: container.file, stream, ssd, name });
            }
        }
    }
    return { dumps, leftOut };
}

// The dump of one stream: its .ssd file's output, unless a folder cannot
// hold its name.
export function streamPlan(container, stream, ssd) {
    const name = outputName(ssd.name);
    const why = unheldPath(name);
    return why ? { dumps: [], leftOut: [{ path: ssd.name, why }] }
        : { dumps: [{ container, stream, ssd, name }], leftOut: [] };
}
