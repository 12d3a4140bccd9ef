// Every sentence the page says, from the facts the core keeps: what a choice
// holds, what a listing or a dump came to, what was left out and why, what
// the browser's errors mean. Each is worded here once.
import { explain, failedStep } from '../listing_reader.js';

export const count = (n) => n.toLocaleString('en-US');
export const plural = (n, one) => `${count(n)} ${one}${n === 1 ? '' : 's'}`;
// A message as a sentence: one period at its end, whatever it ended in.
export const sentence = (text) => text.replace(/[.\s]*$/, '.');
// The most names any list of them shows: the first ones, then how many more.
export const namesShown = 20;
export const named = (names) => names.slice(0, namesShown).join(', ') +
    (names.length > namesShown ? ` and ${count(names.length - namesShown)} more` : '');
const pathsOf = (items) => named(items.map((item) => item.path || item.name));

// A failed step, by its name and in plain words.
export const stepFailed = (step) => ({ name: `${step} failed`, why: explain(step) });
const stepWords = (step) => `${stepFailed(step).name}: ${stepFailed(step).why}`;

// What a container's row says of its listing: ok, the failed step, the
// tool's last line, or why it was not listed.
export function summarySaid(summary) {
    if (!summary) {
        return 'not checked';
    }
    if (summary.failed) {
        return `not listed: ${summary.failed}`;
    }
    if (summary.step) {
        return stepWords(summary.step);
    }
    return summary.status === 0 ? 'ok' : summary.last || 'the listing failed';
}

// Why a folder cannot hold a name.
function unheldWords({ part, why }) {
    if (why.character) {
        const shown = /[\u0000-\u001f\u007f]/u.test(why.character)
            ? `the control character U+${why.character.charCodeAt(0).toString(16).toUpperCase().padStart(4, '0')}`
            : why.character;
        return `its output name ${part} holds ${shown}, which a folder on Windows cannot hold`;
    }
    return {
        end: `its output name ${part} ends in a dot or a space, which Windows drops`,
        device: `its output name ${part} is one Windows keeps for a device`,
    }[why];
}

// One thing a dump left out, and why.
function leftOutWords({ path, why }) {
    const words = {
        listing: () => summarySaid(why.summary),
        unpaired: () => 'paired with no stream',
        past: () => `${why.container} has no stream ${why.stream}`,
        name: () => unheldWords(why),
        'same-output': () => `its output ${why.output} is ${why.earlier} where letter case is not told apart`,
    }[why.kind]();
    return `${path} (${words})`;
}
export const leftOutList = (leftOut) => leftOut.map(leftOutWords).join('; ');
const leftOutTail = (plan) => (plan.leftOut.length ? ` Left out: ${leftOutList(plan.leftOut)}.` : '');

export const choiceWords = {
    files({ container, ssds, aside, ignored }) {
        return [
            container && `Container: ${container.name} (${count(container.size)} bytes).`,
            ssds.length > 0 && `${plural(ssds.length, '.ssd file')}.`,
            ...asideWords(aside, ignored, ''),
        ].filter(Boolean).join(' ');
    },
    joined({ added, into, aside, ignored }) {
        return [`${plural(added, '.ssd file')} joined ${into}.`, ...asideWords(aside, ignored, '')].join(' ');
    },
    folder({ containers, paired, strays, aside, others }) {
        return [`${plural(containers, 'container')}, ${plural(paired, '.ssd file')} paired with them.`,
            strays.length > 0 && `Paired with no container: ${pathsOf(strays)}.`,
            ...asideWords(aside, others, ' beside it')].filter(Boolean).join(' ');
    },
    noContainer: (ssds) => `Open a container of the folder for these .ssd files to join it; left aside: ${pathsOf(ssds)}.`,
    walking: 'Reading the dropped folder\u2026',
};
function asideWords(aside, ignored, where) {
    return [aside.length > 0 && `Left aside, as another .ssd file${where} gives the same output name: ${pathsOf(aside)}.`,
        ignored.length > 0 && `Not .srt or .ssd, left aside: ${pathsOf(ignored)}.`].filter(Boolean);
}

export function listingWords(listing) {
    if (!listing.done) {
        return `Listing ${listing.container.name}\u2026`;
    }
    const { container } = listing;
    if (listing.failed) {
        return sentence(`The listing did not finish: ${listing.failed}`);
    }
    if (listing.count === null) {
        return `${container.name}: no stream count.`;
    }
    const warnings = listing.badSize.size + (listing.badEnd ? 1 : 0);
    return `${container.name}: ${plural(listing.count, 'stream')}` +
        (listing.step ? `, ${count(listing.words.length)} listed before the walk stopped` : '') +
        (warnings ? `; ${plural(warnings, 'BAD SIZE warning')}` +
            (listing.badEnd ? ' (one because the file does not end after the last DSP entry)' : '') : '') + '.';
}

export function folderWords({ walking, total, checked, checkEnd, failed, warned }) {
    if (walking) {
        return choiceWords.walking;
    }
    if (checkEnd === null) {
        return `Checking ${plural(total, 'container')}\u2026`;
    }
    if (checkEnd.failed !== undefined) {
        return sentence(`${checkEnd.walk ? 'The folder could not be read' : 'The check did not finish'}: ${checkEnd.failed}`);
    }
    return (checkEnd.cancelled ? 'Cancelled: checked ' : 'Checked ') +
        `${count(checked)} of ${plural(total, 'container')}: ${count(checked - failed)} listed to the end, ${count(failed)} failed` +
        (warned ? `, ${count(warned)} with BAD SIZE warnings.` : '.');
}

// What a dump came to: done, failed, nothing to do.
const dumpLabel = (plan) => (plan.all ? 'Dump all' : 'The dump');
export const dumpWords = {
    nothing: (plan) => 'Nothing was dumped' +
        (plan.leftOut.length ? `; left out: ${leftOutList(plan.leftOut)}.` : ': no .ssd file is paired.'),
    cancelled: (plan, written) => `${dumpLabel(plan)} did not finish: cancelled.${writtenWords(plan, written)}`,
    failedRun({ stream, ssd, result }, plan, written) {
        const decoder = new TextDecoder();
        const step = failedStep(decoder.decode(result.stderr));
        // Without a failed step, the tool's last line says why (a stream
        // number past the last stream).
        const said = step ? stepWords(step) : decoder.decode(result.stdout).trim().split('\n').pop();
        return `The dump of stream ${stream} with ${ssd.name} failed (${said.replace(/\.$/, '')}).` +
            writtenWords(plan, written) + leftOutTail(plan);
    },
    unfinished: (plan, written) => `${dumpLabel(plan)} did not finish.${writtenWords(plan, written)}${leftOutTail(plan)}`,
    // unknown: the page has no words for what the browser said, so it says
    // what was written, if anything.
    failed: (plan, message, started, written, unknown) => sentence(`${dumpLabel(plan)} ${started === false ? 'was not started'
        : 'did not finish'}: ${message}`) + (unknown && !writtenWords(plan, written) ? ' Nothing was written.' : writtenWords(plan, written)),
    done(plan, { written, skipped }, folder) {
        const skippedTail = skipped.length ? ` Already there, so skipped: ${named(skipped)}.` : '';
        const into = plan.into === 'folder' ? ` in ${folder}` : '';
        if (!plan.all) {
            return written === 0 && skipped.length ? `Nothing was written.${skippedTail}`
                : `Dumped stream ${plan.dumps[0].stream} into ${plan.name}${into}.`;
        }
        return `Dumped ${plural(plan.dumps.length - skipped.length, 'stream')}` +
            (plan.folder ? ` of ${plural(new Set(plan.dumps.map((each) => each.container)).size, 'container')}` : '') +
            (plan.into === 'folder' ? ` into ${folder}.` : ` into ${plan.name}.`) + skippedTail + leftOutTail(plan);
    },
};
// Into a folder, the files of Dump all written before a failure stay: each is whole.
const writtenWords = (plan, written) => (plan.into === 'folder' && plan.all && written > 0
    ? ` ${plural(written, 'file')} before it stay written.` : '');

// A dump under way: which file, how far, how long still (once a second of
// it has gone by); and the fewer words a screen reader hears, at its start
// and at each quarter.
export function progressWords({ plan, total, shown = { written: 0, index: 0 }, started }) {
    const { index, at } = shown;
    const written = Math.min(shown.written, total);
    const [unit, name] = total >= 1 << 20 ? [1 << 20, 'MiB'] : [1 << 10, 'KiB'];
    const size = `${count(Math.round(total / unit))} ${name}`;
    const percent = Math.floor((written / total) * 100);
    const which = plan.dumps.length > 1 ? ` (${plan.folder ? 'file' : 'stream'} ${count(index + 1)} of ${count(plan.dumps.length)})` : '';
    const seconds = at - started >= 1000 && written > 0 ? ((total - written) * (at - started)) / written / 1000 : null;
    const left = seconds === null ? '' : seconds < 60 ? `, about ${Math.ceil(seconds)} s left` : `, about ${Math.ceil(seconds / 60)} min left`;
    const quarter = Math.floor(percent / 25);
    return {
        text: `Writing ${plan.dumps[index].name}${which}: ${count(Math.floor(written / unit))} of ${size} (${percent} %)${left}`,
        spoken: quarter === 0 ? `Writing ${size}.` : `${quarter * 25} % written.`,
    };
}
// The paths a dump into the folder wrote, skipped and left out, each list
// its first namesShown and how many more.
export const wroteWords = ({ written, skipped, leftOut }) => [['Written', written], ['Already there, so skipped', skipped],
    ['Left out', leftOut]].filter(([, paths]) => paths.length > 0).map(([title, paths]) => ({
    title: `${title} (${count(paths.length)}):`, paths: paths.slice(0, namesShown),
    more: paths.length > namesShown ? `and ${count(paths.length - namesShown)} more` : null,
}));
export const goToWords = {
    digits: 'A stream number is digits only.',
    notListed: (stream, listed) => `Stream ${count(stream)} is not listed: the walk stopped at ${count(listed)}.`,
    past: (stream, streams) => (streams === 0 ? 'There are no streams.'
        : `There is no stream ${count(stream)}: the last is ${count(streams - 1)}.`),
};
export const questionWords = (names, folder) => `Already in ${folder}: ${named(names)}. ` +
    (names.length === 1 ? 'Replace it, skip it, or cancel?' : 'Replace them, skip them, or cancel?');
export const outputFolderWords = (folder) => (folder ? `Outputs go into the folder ${folder}.`
    : 'Outputs go into a folder you choose at the first dump.');
export const updateWords = {
    ready: 'Ready to work offline.',
    waiting: 'A new version of srtx is ready.',
    elsewhere: 'A new version of srtx is in use from this tab\'s next reload.',
};
export const problemWords = (problems) => (problems.length ? `Something went wrong in the page: ${problems.join('; ')}.` : '');
export const copyWords = {
    text: { done: 'The text is copied.', refused: 'The text is selected: copy it with the keyboard.' },
    summary: { done: 'The summary is copied, as tab-separated text.',
        refused: 'The browser did not let the page copy: Save gives the summary as a file.' },
};
export const rangeWords = (what, first, last, total) => `${what} ${count(first)}\u2013${count(last)} of ${count(total)}`;

// What the browser's errors mean, in the page's words; one the page has no
// words for is named by its kind alone.
const meanings = {
    QuotaExceededError: 'the disk is full',
    NotAllowedError: 'the browser did not allow it',
    SecurityError: 'the browser did not allow it',
    NotFoundError: 'a file or folder it needed is gone',
    NoModificationAllowedError: 'the file is in use elsewhere',
    InvalidStateError: 'the file changed while it was written',
    NotReadableError: 'a chosen file could not be read; choose it again',
    AbortError: 'cancelled',
};
export const errorWords = (kind) => meanings[kind] || `the browser stopped it (${kind || 'an error'})`;
export const unreadableWords = (name) => `${name} changed or was removed after it was chosen; choose it again`;
export const folderGoneWords = (name) => `the folder ${name} is gone; the next dump asks for a folder`;
export const noFolderWords = {
    dismissed: 'No folder chosen; nothing was written.',
    refused: 'The browser did not let the page use that folder; nothing was written.',
};
export const inPageLimitWords = (bytes) => 'this browser does not let the page\'s worker read files opened from disk, ' +
    'so the page reads them into memory, at most 1 GiB of files and outputs together, and this needs ' +
    `${count(bytes)} bytes. Open the page from a local web server instead ` +
    '(for example python3 -m http.server in its folder, then http://127.0.0.1:8000/): ' +
    'there the files are read and written in place';

// The folder's summary as tab-separated text, a header line first; a tab,
// line break or backslash in a path is written as \t, \n, \r or \\.
export function tabSeparated(rows) {
    const field = (value) => String(value ?? '').replace(/[\\\t\n\r]/g,
        (c) => ({ '\\': '\\\\', '\t': '\\t', '\n': '\\n', '\r': '\\r' })[c]);
    const lines = [['container', 'streams', 'BAD SIZE warnings', 'exit status', 'result']];
    for (const { path, summary } of rows) {
        lines.push(summary ? [path, summary.count, summary.warnings, summary.status, summarySaid(summary)]
            : [path, '', '', '', 'not checked']);
    }
    return lines.map((line) => line.map(field).join('\t')).join('\n') + '\n';
}
