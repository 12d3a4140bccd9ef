// The listing view: the stream table read from the tool's own output, and the
// failed step in plain words beside its name. Nothing here reads the format:
// every fact comes from what srtx printed.
'use strict';

const srtxListing = (() => {
    const pageSize = 200;

    // The lines of a listing: the progress line, "N streams", then the
    // stream lines "%3d:\t%d" (streams 0, 1, 2, ... in order), each perhaps
    // after a BAD SIZE line, and perhaps one BAD SIZE at the end. A million of
    // them are read by hand: the words in one array, the warned streams in a set.
    function parse(text) {
        const listing = { count: null, words: [], badSize: new Set(), badEnd: false };
        let at = text.indexOf('\n') + 1;
        const countLine = /^(-?\d+) streams\n/.exec(text.slice(at, at + 24));
        if (!at || !countLine) {
            return listing;
        }
        listing.count = Number(countLine[1]);
        at += countLine[0].length;
        let warned = false;
        while (at < text.length) {
            const newline = text.indexOf('\n', at);
            const end = newline < 0 ? text.length : newline;
            const tab = text.indexOf(':\t', at);
            if (tab > at && tab < end) {
                if (warned) {
                    listing.badSize.add(listing.words.length);
                }
                listing.words.push(Number(text.slice(tab + 2, end)));
                warned = false;
            } else if (text.startsWith('BAD SIZE', at) && end === at + 8) {
                warned = true;
            }
            at = end + 1;
        }
        listing.badEnd = warned;
        return listing;
    }

    // The step of an "error: STEP failed" line, or null.
    function failedStep(stderr) {
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

    function explain(step) {
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

    // Fills the table body with one page of streams: index, word, warning,
    // and the cell that actions (dump) go in, made by addActions(cell, index).
    function renderPage(body, listing, page, addActions) {
        body.replaceChildren();
        const first = page * pageSize;
        const last = Math.min(first + pageSize, listing.words.length);
        for (let index = first; index < last; ++index) {
            const row = body.insertRow();
            row.insertCell().textContent = String(index);
            row.insertCell().textContent = String(listing.words[index]);
            const warning = row.insertCell();
            if (listing.badSize.has(index)) {
                warning.textContent = 'BAD SIZE';
                warning.title = 'this DSP entry does not follow the one before it 144 bytes on';
                row.classList.add('warned');
            }
            addActions(row.insertCell(), index);
        }
        return {
            first: Math.min(first + 1, listing.words.length),
            last,
            pages: Math.max(1, Math.ceil(listing.words.length / pageSize)),
        };
    }

    return { parse, failedStep, explain, renderPage };
})();
