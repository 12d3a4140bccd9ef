// Reads what srtx printed: the stream listing, the failed step, and each
// step in plain words. One file for the page (a classic script, srtxListingReader)
// and the Node library (require). Nothing here reads the format itself.
'use strict';

const srtxListingReader = (() => {
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

    // The signed decimal number at bytes[at]; numberEnd is where it ends. No
    // pair is made per number: a million stream lines would make a million.
    let numberEnd = 0;
    function numberAt(bytes, at) {
        const negative = bytes[at] === minus;
        let end = negative ? at + 1 : at;
        let value = 0;
        for (let digit; end < bytes.length && (digit = bytes[end] - 48) >= 0 && digit <= 9; ++end) {
            value = value * 10 + digit;
        }
        numberEnd = end;
        return negative ? -value : value;
    }

    // The lines of a listing, as the bytes srtx printed: the progress line,
    // "N streams", then the stream lines "%3d:\t%d" (streams 0, 1, 2, ... in
    // order), each perhaps after a BAD SIZE line, and perhaps one BAD SIZE at
    // the end. A million of them are read byte by byte, with no text made:
    // the words in one array, the warned streams in a set. containerPath,
    // where known, finds the end of the progress line even when the path
    // itself holds a line feed.
    function parse(bytes, containerPath = null) {
        const listing = { count: null, words: [], badSize: new Set(), badEnd: false };
        const progress = containerPath === null ? null : encoder.encode(`${containerPath}...\n`);
        let at = progress && holdsAt(bytes, 0, progress) ? progress.length : bytes.indexOf(newline) + 1;
        const count = numberAt(bytes, at);
        const digitsEnd = numberEnd;
        if (at === 0 || digitsEnd === at || !holdsAt(bytes, digitsEnd, countEnd)) {
            return listing;
        }
        listing.count = count;
        at = digitsEnd + countEnd.length;
        const { words, badSize } = listing;
        let warned = false;
        while (at < bytes.length) {
            let end = at;
            while (end < bytes.length && bytes[end] !== newline && bytes[end] !== colon) {
                ++end;
            }
            if (end > at && bytes[end] === colon && bytes[end + 1] === tab) {
                if (warned) {
                    badSize.add(words.length);
                }
                words.push(numberAt(bytes, end + 2));
                end = numberEnd;
                warned = false;
            } else if (holdsAt(bytes, at, badSizeLine)) {
                warned = true;
            }
            const next = bytes.indexOf(newline, end);
            at = next < 0 ? bytes.length : next + 1;
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

    return { parse, failedStep, explain };
})();

if (typeof module !== 'undefined') {
    module.exports = srtxListingReader;
}
