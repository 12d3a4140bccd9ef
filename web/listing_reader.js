// Reads what srtx printed: the stream listing, the failed step, and each
// step in plain words. One module for the page and, bundled as CommonJS, the
// Node library. Nothing here reads the format itself.
const encoder = new TextEncoder();
const badSizeLine = encoder.encode('BAD SIZE\n');
const countEnd = encoder.encode(' streams\n');
const [newline, colon, tab, minus] = [10, 58, 9, 45];

function holdsAt(bytes, at, part) {
    if (at + part.length > bytes.length) {
        return false;
    }
    for (let i = 0; i < part.length; ++i) {
        if (bytes[at + i] !== part[i]) {
            return false;
        }
    }
    return true;
}

// The lines of a listing, as the bytes srtx printed: the progress line,
// "N streams", then the stream lines "%3d:\t%d" (streams 0, 1, 2, ... in
// order), each perhaps after a BAD SIZE line, and perhaps one BAD SIZE at
// the end. The bytes may come in pieces as the tool prints them: take()
// reads every whole line of each (a line cut by the piece's end waits for
// the next), finish() the last line and returns the listing. A million
// lines are read byte by byte in one loop, with no text, call or object
// made per line: the words in an Int32Array, the
// warned streams in a set. containerPath, where known, finds the end of
// the progress line even when the path itself holds a line feed.
export function reader(containerPath = null) {
    const listing = { count: null, words: new Int32Array(0), badSize: new Set(), badEnd: false };
    const progress = containerPath === null ? null : encoder.encode(`${containerPath}...\n`);
    let carried = new Uint8Array(0);
    let listed = 0;
    let warned = false;
    let skipping = false; // no count line: the rest is not a listing

    // Where the stream lines start, after the count line; -1 when there
    // is no count line; null while the bytes so far cannot tell.
    function countLine(bytes, last) {
        const known = progress && holdsAt(bytes, 0, progress);
        if (!known && progress && !last && bytes.length < progress.length) {
            return null;
        }
        const at = known ? progress.length : bytes.indexOf(newline) + 1;
        const lineEnd = bytes.indexOf(newline, at);
        if (at === 0 || lineEnd < 0) {
            return last ? -1 : null;
        }
        let end = bytes[at] === minus ? at + 1 : at;
        while (end < lineEnd && bytes[end] >= 48 && bytes[end] <= 57) {
            ++end;
        }
        if (end === at || bytes[end - 1] === minus || !holdsAt(bytes, end, countEnd)) {
            return -1;
        }
        listing.count = Number(new TextDecoder().decode(bytes.subarray(at, end)));
        // Sized by what the text can hold, a stream line being 7 bytes at
        // least, never by the count line alone: a damaged container may
        // claim two thousand million streams and list three. Later pieces
        // grow it as they come.
        const room = Math.ceil((bytes.length - end) / 7) + 16;
        listing.words = new Int32Array(Math.max(0, Math.min(listing.count, room)));
        return end + countEnd.length;
    }

    // The lines of bytes[at, stop), the last of them perhaps without its
    // line feed. The loop keeps its state in locals, written back at the
    // end: the closure's own would be read from memory on every line.
    // bytes[stop - 1] is a line feed unless stop is bytes.length, so a
    // number's digits end within [at, stop) without a test of stop.
    function lines(bytes, at, stop) {
        let words = listing.words;
        let [count, warning] = [listed, warned];
        // The next stream line's index is count, printed at least 3 wide:
        // where its colon, tab and last digit are in place the index is
        // passed over unread (a third of the bytes).
        let width = Math.max(3, String(count).length);
        let wider = 10 ** width;
        let lastDigit = 48 + (count % 10);
        while (at < stop) {
            let end = at + width;
            let byte = colon;
            if (!(end + 1 < stop && bytes[end] === colon && bytes[end + 1] === tab &&
                  bytes[end - 1] === lastDigit)) {
                end = at;
                while (end < stop && (byte = bytes[end]) !== newline && byte !== colon) {
                    ++end;
                }
                if (end === at || byte !== colon || bytes[end + 1] !== tab) {
                    warning = warning || holdsAt(bytes, at, badSizeLine);
                    while (end < stop && bytes[end] !== newline) {
                        ++end;
                    }
                    at = end + 1;
                    continue;
                }
            }
            if (warning) {
                listing.badSize.add(count);
                warning = false;
            }
            end += 2;
            const negative = bytes[end] === minus;
            end += negative ? 1 : 0;
            let value = 0;
            while ((byte = bytes[end] - 48) >= 0 && byte <= 9) {
                value = value * 10 + byte;
                ++end;
            }
            if (count === words.length) {
                const grown = new Int32Array(words.length * 2 + 16);
                grown.set(words);
                words = listing.words = grown;
            }
            words[count++] = negative ? -value : value;
            lastDigit = lastDigit === 57 ? 48 : lastDigit + 1;
            if (count === wider) {
                ++width;
                wider *= 10;
            }
            while (end < stop && bytes[end] !== newline) {
                ++end;
            }
            at = end + 1;
        }
        [listed, warned] = [count, warning];
    }

    const joined = (first, second) => {
        const bytes = new Uint8Array(first.length + second.length);
        bytes.set(first);
        bytes.set(second, first.length);
        return bytes;
    };

    // A line cut by a piece's end is joined with its rest alone: pieces
    // are read where they lie, never copied whole.
    function read(piece, last) {
        if (skipping) {
            return;
        }
        let at = 0;
        if (listing.count === null) {
            piece = carried.length ? joined(carried, piece) : piece;
            carried = piece.subarray(0, 0);
            at = countLine(piece, last);
            if (at === null || at < 0) {
                skipping = at !== null;
                carried = at === null ? piece.slice() : carried;
                return;
            }
        } else if (carried.length) {
            const lineEnd = piece.indexOf(newline);
            if (lineEnd < 0 && !last) {
                carried = joined(carried, piece);
                return;
            }
            at = lineEnd < 0 ? piece.length : lineEnd + 1;
            const line = joined(carried, piece.subarray(0, at));
            lines(line, 0, line.length);
        }
        const stop = Math.max(at, last ? piece.length : piece.lastIndexOf(newline) + 1);
        lines(piece, at, stop);
        carried = piece.slice(stop);
    }

    return {
        take: (piece) => read(piece, false),
        finish() {
            read(new Uint8Array(0), true);
            // Words grown past what was listed are let go of.
            listing.words = listing.words.length > 2 * listed + 1024 ? listing.words.slice(0, listed)
                : listing.words.subarray(0, listed);
            listing.badEnd = warned;
            return listing;
        },
    };
}

// A whole listing at once.
export function parse(bytes, containerPath = null) {
    const whole = reader(containerPath);
    whole.take(bytes);
    return whole.finish();
}

// The step of an "error: STEP failed" line, or null.
export function failedStep(stderr) {
    const match = /^error: (.*) failed$/m.exec(stderr);
    return match ? match[1] : null;
}

const fixedSteps = {
    'open input': 'the container could not be opened',
    'seek to file end': "the container's size could not be measured",
    'get file size': 'the container is 2 GiB or more, or its size could not be measured',
    'get back to file start': 'the container could not be read from its start',
    'read header': 'the file is shorter than the 16-byte file header',
    'open input ssd file': 'the .ssd file could not be opened',
    'seek to ssd file end': "the .ssd file's size could not be measured",
    'get ssd file size': 'the .ssd file is 2 GiB or more, or its size could not be measured',
    'seek back to ssd file start': 'the .ssd file could not be read from its start',
    'read ssd': 'the .ssd file changed size while it was copied',
    'open output file': 'the output file could not be opened for writing',
    'check output is not an input': 'the output would have overwritten an input',
    'parse stream # to dump': 'the stream number is not a number',
    'write DSP entry': 'the output could not be written',
    'write output': 'the output could not be written',
    'close output file': 'the output could not be written',
    'write standard output': 'not everything printed could be written',
};
const blockSteps = [
    [/^seek to (\w+) block$/, (b) => `the file header places the ${b} block before the start of the file`],
    [/^read (\w+) block header$/, (b) => `the ${b} block's header lies past the end of the file`],
    [/^check DSP block header$/, () => "the DSP block's header is not what a container holds there, " +
        "or its count is not the SSD block's"],
    [/^check (\w+) block header$/, (b) => `the ${b} block's header is not what a container holds there`],
    [/^seek to (\w+) entry index$/, (b) => `an index slot of the ${b} block lies beyond what a position can hold`],
    [/^read (\w+) entry index$/, (b) => `an index slot of the ${b} block lies past the end of the file`],
    [/^seek to (\w+) entry$/, (b) => `an index slot of the ${b} block points before the start of the file`],
    [/^read (\w+) entry$/, (b) => `an index slot of the ${b} block points at an entry running past the end of the file`],
];

export function explain(step) {
    const name = step.trim();
    if (fixedSteps[name]) {
        return fixedSteps[name];
    }
    for (const [pattern, words] of blockSteps) {
        const match = pattern.exec(name);
        if (match) {
            return words(match[1]);
        }
    }
    return 'the step failed';
}

