// The page: takes the chosen files, lists the container through the tool in
// its worker, and shows the table, the map and the tool's own text; dumps on
// request. Everything a file or the tool says is shown as text, never markup.
'use strict';

(() => {
    const $ = (id) => document.getElementById(id);
    const decoder = new TextDecoder();
    const map = srtxMap.create($('map'));
    const shownTextLimit = 2 << 20;
    const progressFrom = 50 << 20;
    const state = { container: null, ssds: [], pairs: new Map(), listing: null, text: '', page: 0, run: null };

    function choose(fileList) {
        const files = [...fileList];
        const containers = files.filter((file) => /\.srt$/i.test(file.name));
        const ssds = files.filter((file) => /\.ssd$/i.test(file.name));
        const ignored = files.filter((file) => !containers.includes(file) && !ssds.includes(file));
        if (containers.length > 0) {
            state.container = containers[0];
        }
        for (const ssd of ssds) {
            state.ssds = state.ssds.filter((known) => known.name !== ssd.name).concat([ssd]);
            state.pairs.set(ssd.name, srtxDump.pairedStream(ssd.name));
        }
        const notes = [];
        if (state.container) {
            notes.push(`Container: ${state.container.name} (${state.container.size.toLocaleString('en-US')} bytes).`);
        }
        if (containers.length > 1) {
            notes.push(`Only one container at a time: ${containers.slice(1).map((f) => f.name).join(', ')} left aside.`);
        }
        if (state.ssds.length > 0) {
            notes.push(`${state.ssds.length} .ssd file${state.ssds.length === 1 ? '' : 's'}.`);
        }
        if (ignored.length > 0) {
            notes.push(`Not .srt or .ssd, left aside: ${ignored.map((f) => f.name).join(', ')}.`);
        }
        $('chosen').textContent = notes.join(' ');
        if (containers.length > 0) {
            list();
        } else {
            showPairs();
            showPage();
        }
    }

    function busy(run) {
        state.run = run;
        $('result').setAttribute('aria-busy', String(run !== null));
        for (const button of document.querySelectorAll('#result button:not(#cancel), #files')) {
            button.disabled = run !== null;
        }
    }

    async function list() {
        const container = state.container;
        $('result').hidden = false;
        $('summary').textContent = `Listing ${container.name}\u2026`;
        const run = srtxBridge.run({ args: [container.name], files: [container] });
        busy(run);
        let result;
        try {
            result = await run.done;
        } catch (error) {
            $('summary').textContent = `The listing did not finish: ${error.message}.`;
            return;
        } finally {
            busy(null);
        }
        const stdout = decoder.decode(result.stdout);
        const stderr = decoder.decode(result.stderr);
        const step = srtxListingReader.failedStep(stderr);
        state.listing = srtxListingReader.parse(result.stdout, container.name);
        state.page = 0;
        state.text = `${stdout}${stderr}exit status ${result.status}\n`;

        const { count, words, badSize, badEnd } = state.listing;
        const warnings = badSize.size + (badEnd ? 1 : 0);
        $('summary').textContent = count === null ? `${container.name}: no stream count.`
            : `${container.name}: ${count} streams` +
              (step ? `, ${words.length} listed before the walk stopped` : '') +
              (warnings ? `; ${warnings} BAD SIZE warning${warnings === 1 ? '' : 's'}` +
                  (badEnd ? ' (one because the file does not end after the last DSP entry)' : '') : '') + '.';
        const failure = $('failure');
        failure.hidden = !step;
        failure.replaceChildren();
        if (step) {
            const name = document.createElement('strong');
            name.textContent = `${step} failed`;
            failure.append(name, `: ${srtxListingReader.explain(step)}.`);
        }
        map.show(container.size, result.trace, step);
        const pre = $('text');
        // A long text shows its head and its end (where errors and the status
        // are); Copy takes all of it.
        const text = state.text;
        pre.textContent = text.length <= shownTextLimit ? text
            : `${text.slice(0, shownTextLimit / 2)}\n\u2026 ${(text.length - shownTextLimit).toLocaleString('en-US')} ` +
              `characters left out here; Copy takes the whole text \u2026\n${text.slice(text.length - shownTextLimit / 2)}`;
        showPairs();
        showPage();
    }

    function showPage() {
        const listing = state.listing || { words: [], badSize: new Set() };
        const body = $('streams').tBodies[0];
        const range = srtxListing.renderPage(body, listing, state.page, (cell, stream) => {
            const ssd = state.ssds.find((file) => state.pairs.get(file.name) === stream);
            if (ssd) {
                const button = document.createElement('button');
                button.type = 'button';
                button.textContent = 'Dump';
                button.setAttribute('aria-label', `Dump stream ${stream} with ${ssd.name}`);
                button.disabled = state.run !== null;
                button.addEventListener('click', () => dump(stream, ssd));
                cell.append(button);
            }
        });
        $('page-range').textContent = listing.words.length
            ? `streams ${range.first}\u2013${range.last} of ${listing.words.length}` : 'no streams listed';
        $('previous').disabled = state.page === 0;
        $('next').disabled = state.page + 1 >= range.pages;
        $('pages').hidden = range.pages < 2;
    }

    function showPairs() {
        $('pairs-box').hidden = state.ssds.length === 0;
        const list = $('pairs');
        list.replaceChildren();
        for (const ssd of state.ssds) {
            const item = document.createElement('li');
            const label = document.createElement('label');
            const input = document.createElement('input');
            input.type = 'number';
            input.min = '0';
            input.step = '1';
            input.value = state.pairs.get(ssd.name) ?? '';
            input.addEventListener('change', () => {
                const value = input.value.trim();
                state.pairs.set(ssd.name, /^\d+$/.test(value) ? Number(value) : null);
                showPage();
            });
            label.append(`${ssd.name} \u2192 stream `, input);
            item.append(label, ` \u2192 ${srtxDump.outputName(ssd.name)}`);
            list.append(item);
        }
    }

    function paired() {
        return state.ssds.filter((ssd) => state.pairs.get(ssd.name) !== null)
            .map((ssd) => ({ stream: state.pairs.get(ssd.name), ssd }))
            .sort((a, b) => a.stream - b.stream || a.ssd.name.localeCompare(b.ssd.name));
    }

    // A progress bar for outputs of 50 MiB or more.
    function progress(total) {
        $('progress-box').hidden = total < progressFrom;
        $('progress').value = 0;
        return (written) => {
            $('progress').value = Math.min(1, written / total);
        };
    }

    function reportFailedDump(stream, ssd, result) {
        const stderr = decoder.decode(result.stderr);
        const step = srtxListingReader.failedStep(stderr);
        const said = step ? `${step} failed: ${srtxListingReader.explain(step)}` : decoder.decode(result.stdout).trim();
        $('summary').textContent = `The dump of stream ${stream} with ${ssd.name} failed (${said}).`;
    }

    // Runs body while run is the run in progress; says so when it did not finish.
    async function whileDumping(run, what, body) {
        busy(run);
        try {
            await body();
        } catch (error) {
            $('summary').textContent = `${what} did not finish: ${error.message}.`;
        } finally {
            busy(null);
            $('progress-box').hidden = true;
            showPage();
        }
    }

    // Where a large output goes: straight into a file the user chooses,
    // piece by piece, where the browser offers that (File System Access), so
    // that it is never held whole; null for a download. Must come first in a
    // click's handler, while the click still lets the page open a dialog.
    async function saveTarget(name, size) {
        if (size < progressFrom || typeof window.showSaveFilePicker !== 'function') {
            return null;
        }
        const handle = await window.showSaveFilePicker({ suggestedName: name });
        const file = await handle.createWritable();
        let writes = Promise.resolve();
        return {
            write: (bytes) => { writes = writes.then(() => file.write(bytes)); },
            // The chosen file changes only when all is written: a failed or
            // cancelled run leaves it as it was.
            finish: async (whole) => {
                await writes.catch(() => {});
                await (whole ? writes.then(() => file.close()) : file.abort());
            },
        };
    }

    async function dump(stream, ssd) {
        const name = srtxDump.outputName(ssd.name);
        let target;
        try {
            target = await saveTarget(name, 144 + ssd.size);
        } catch (error) {
            $('summary').textContent = `The dump was not started: ${error.message}.`;
            return;
        }
        const run = srtxDump.dumpOne(state.container, stream, ssd, progress(144 + ssd.size),
            target && target.write);
        await whileDumping(run, 'The dump', async () => {
            const result = await run.done.catch(async (error) => {
                await (target && target.finish(false));
                throw error;
            });
            await (target && target.finish(result.status === 0));
            if (result.status !== 0) {
                reportFailedDump(stream, ssd, result);
            } else if (target) {
                $('summary').textContent = `Saved ${name}.`;
            } else {
                srtxDump.download(result.outputs[name], name);
            }
        });
    }

    async function dumpAll() {
        const pairs = paired();
        const total = pairs.reduce((sum, pair) => sum + 144 + pair.ssd.size, 0);
        const base = state.container.name.replace(/\.srt$/i, '');
        let target;
        try {
            target = await saveTarget(`${base}-streams.zip`, total);
        } catch (error) {
            $('summary').textContent = `Dump all was not started: ${error.message}.`;
            return;
        }
        const show = progress(total);
        let done = 0;
        let current = -1;
        let currentWritten = 0;
        const control = {
            cancelled: false,
            run: null,
            cancel() {
                this.cancelled = true;
                if (this.run) {
                    this.run.cancel();
                }
            },
        };
        await whileDumping(control, 'Dump all', async () => {
            let result;
            try {
                result = await srtxDump.zipAll(state.container, pairs, (index, written) => {
                    if (index !== current) {
                        done += currentWritten;
                        current = index;
                    }
                    currentWritten = written;
                    show(done + written);
                }, control, target && target.write);
            } finally {
                await (target && target.finish(Boolean(result && result.zip !== undefined && !result.failed)));
            }
            if (result.failed) {
                reportFailedDump(result.failed.stream, result.failed.ssd, result.failed.result);
                return;
            }
            if (!target) {
                srtxDump.download(result.zip, `${base}-streams.zip`);
            }
            $('summary').textContent = `Dumped ${pairs.length} stream${pairs.length === 1 ? '' : 's'} into ${base}-streams.zip.`;
        });
    }

    $('files').addEventListener('change', (event) => choose(event.target.files));
    const drop = $('drop');
    for (const name of ['dragenter', 'dragover']) {
        document.addEventListener(name, (event) => {
            event.preventDefault();
            drop.classList.add('over');
        });
    }
    document.addEventListener('dragleave', () => drop.classList.remove('over'));
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        drop.classList.remove('over');
        choose(event.dataTransfer.files);
    });
    $('previous').addEventListener('click', () => { state.page -= 1; showPage(); });
    $('next').addEventListener('click', () => { state.page += 1; showPage(); });
    $('dump-all').addEventListener('click', dumpAll);
    $('cancel').addEventListener('click', () => state.run && state.run.cancel());
    $('copy').addEventListener('click', async () => {
        try {
            await navigator.clipboard.writeText(state.text);
            $('summary').textContent = 'The text is copied.';
        } catch {
            getSelection().selectAllChildren($('text'));
            $('summary').textContent = 'The text is selected: copy it with the keyboard.';
        }
    });
})();
