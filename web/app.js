// The page: takes the chosen files, lists the container through the tool in
// its worker, and shows the table, the map and the tool's own text; dumps on
// request. A folder (or many containers at once) gets a summary of every
// container, each row opening that container's view. Everything a file or
// the tool says is shown as text, never markup.
'use strict';

(() => {
    const $ = (id) => document.getElementById(id);
    const decoder = new TextDecoder();
    const map = srtxMap.create($('map'));
    // The <pre> shows the head and the end of a long text (where errors and
    // the status are); Copy and Save text take all of it.
    const shownTextLimit = 32 << 10;
    const progressFrom = 50 << 20;
    // pairs: each chosen .ssd File and the stream it goes with (null: none);
    // dump: the dump job that Cancel ends.
    // text: the tool's text as bytes (what it printed, then the exit status),
    // decoded whole only when Copy or Save text asks for it.
    const state = { container: null, ssds: [], pairs: new Map(), listing: null, text: null, page: 0, dump: null };
    const wholeText = () => (state.text ? decoder.decode(state.text) : '');
    const jobs = srtxBridge.createController();
    // The folder being shown, or null: its containers (each with its .ssd
    // files and, once listed, its summary and row), its pairings, the failed
    // containers to dump anyway, and the check's AbortController.
    let folder = null;
    const count = (n) => n.toLocaleString('en-US');
    // A message as a sentence: one period at its end, whatever it ended in.
    const sentence = (text) => text.replace(/[.\s]*$/, '.');

    // A failed step by its name, in bold, then in plain words.
    function showStep(element, step) {
        const name = document.createElement('strong');
        name.textContent = `${step} failed`;
        element.append(name, `: ${srtxListingReader.explain(step)}.`);
    }

    // A list of names for a note: the first few, then how many more.
    const named = (items) => items.slice(0, 10).map((item) => item.path || item.name).join(', ') +
        (items.length > 10 ? ` and ${count(items.length - 10)} more` : '');

    // Everything shown and running starts afresh: earlier files, pairings
    // and jobs belong to another choice.
    function startAfresh(container) {
        jobs.drop();
        if (folder) {
            folder.control.abort();
            folder = null;
        }
        $('folder-view').hidden = true;
        Object.assign(state, {
            container, ssds: [], pairs: new Map(), listing: null, text: null, page: 0, dump: null,
        });
        $('progress-box').hidden = true;
    }

    // A choice that holds a container starts afresh; one that holds more than
    // one is a folder's. .ssd files alone join the current container's.
    function choose(fileList) {
        const files = [...fileList];
        const containers = files.filter((file) => /\.srt$/i.test(file.name));
        if (containers.length > 1) {
            chooseFolder(files.map((file) => ({ file, path: srtxFolder.pathOf(file) })));
            return;
        }
        const ssds = files.filter((file) => /\.ssd$/i.test(file.name));
        const ignored = files.filter((file) => !containers.includes(file) && !ssds.includes(file));
        if (containers.length > 0) {
            startAfresh(containers[0]);
        }
        // Two outputs of one name would overwrite each other, or be two ZIP
        // members of one name.
        const sameOutput = [];
        const taken = new Set(state.ssds.map((ssd) => srtxDump.outputName(ssd.name).toLowerCase()));
        for (const ssd of ssds) {
            const output = srtxDump.outputName(ssd.name).toLowerCase();
            if (taken.has(output)) {
                sameOutput.push(ssd.name);
                continue;
            }
            taken.add(output);
            state.ssds.push(ssd);
            state.pairs.set(ssd, srtxDump.pairedStream(ssd.name));
        }
        const notes = [];
        if (state.container) {
            notes.push(`Container: ${state.container.name} (${state.container.size.toLocaleString('en-US')} bytes).`);
        }
        if (state.ssds.length > 0) {
            notes.push(`${state.ssds.length} .ssd file${state.ssds.length === 1 ? '' : 's'}.`);
        }
        if (sameOutput.length > 0) {
            notes.push(`Left aside, as another .ssd file gives the same output name: ${sameOutput.join(', ')}.`);
        }
        if (ignored.length > 0) {
            notes.push(`Not .srt or .ssd, left aside: ${named(ignored)}.`);
        }
        $('chosen').textContent = notes.join(' ');
        if (containers.length > 0) {
            list();
        } else {
            showPairs();
            showPage();
        }
    }

    // The controls follow the jobs: Dump waits while a dump runs, and the
    // listing is busy while it is made.
    function showBusy() {
        $('result').setAttribute('aria-busy', String(jobs.listing));
        $('in-page').hidden = !srtxBridge.readsInPage;
        for (const button of document.querySelectorAll('#dump-all, #streams button')) {
            button.disabled = jobs.dumping;
        }
        $('dump-folder').disabled = jobs.dumping || !folder || folder.checking;
        $('check-box').hidden = !folder || !folder.checking;
    }

    // A folder's choice: every container in it listed in the background, a
    // few at a time, its row filled as its listing ends.
    async function chooseFolder(items) {
        startAfresh(null);
        $('result').hidden = true;
        const { containers, pairs, strays, sameOutput, others } = srtxFolder.pairUp(items);
        const tops = new Set(containers.map((container) => container.path.split('/')[0]));
        const current = {
            containers, pairs, forced: new Set(), control: new AbortController(), checking: true, checked: 0,
            page: 0, shown: new Map(), frame: 0, rows: false,
            name: tops.size === 1 && containers[0].path.includes('/') ? [...tops][0] : 'containers',
        };
        folder = current;
        const notes = [`${count(containers.length)} container${containers.length === 1 ? '' : 's'}, ` +
            `${count(pairs.size)} .ssd file${pairs.size === 1 ? '' : 's'} paired with them.`];
        if (strays.length > 0) {
            notes.push(`Paired with no container: ${named(strays)}.`);
        }
        if (sameOutput.length > 0) {
            notes.push(`Left aside, as another .ssd file beside it gives the same output name: ${named(sameOutput)}.`);
        }
        if (others.length > 0) {
            notes.push(`Not .srt or .ssd, left aside: ${named(others)}.`);
        }
        $('chosen').textContent = notes.join(' ');
        $('folder-view').hidden = false;
        $('folder-status').textContent = `Checking ${count(containers.length)} containers\u2026`;
        showFolder();
        showBusy();
        let ended = null;
        try {
            await srtxFolder.check(containers, current.control.signal, (index, summary) => {
                const container = containers[index];
                container.summary = summary;
                current.checked += 1;
                // A row shown is made again in place; the page, only when a
                // failure moves up; the count at most once a frame.
                const row = current.shown.get(container);
                const moves = summary.status !== 0 && $('failures-first').checked;
                if (row && !moves) {
                    const again = folderRow(container);
                    const focused = row.contains(document.activeElement);
                    current.shown.set(container, again);
                    row.replaceWith(again);
                    focused && again.querySelector('button').focus();
                }
                showFolderSoon(current, moves);
            });
        } catch (error) {
            ended = error.name === 'AbortError' ? 'Cancelled' : sentence(`The check did not finish: ${error.message}`);
        }
        if (folder !== current) {
            return;
        }
        current.checking = false;
        cancelAnimationFrame(current.frame);
        showFolder();
        showBusy();
        const failed = containers.filter((container) => container.summary && container.summary.status !== 0).length;
        const warned = containers.filter((container) => container.summary && container.summary.warnings > 0).length;
        $('folder-status').textContent = (ended ? `${ended}: checked ` : 'Checked ') +
            `${count(current.checked)} of ${count(containers.length)} containers: ` +
            `${count(current.checked - failed)} listed to the end, ${count(failed)} failed` +
            (warned ? `, ${count(warned)} with BAD SIZE warnings.` : '.');
        // For the benchmark: the last row is on the page from here.
        performance.mark('srtx-checked');
    }

    const folderPageSize = 200;

    function showFolderSoon(current, rows) {
        current.rows = current.rows || rows;
        current.frame = current.frame || requestAnimationFrame(() => {
            current.frame = 0;
            if (folder === current) {
                current.rows ? showFolder() : showChecked();
            }
        });
    }

    function showChecked() {
        const total = folder.containers.length;
        $('checked').value = total ? folder.checked / total : 1;
        $('checked-count').textContent = `${count(folder.checked)} of ${count(total)}`;
    }

    // One page of the summary, failures first where asked; the focus stays
    // on the row it was on.
    function showFolder() {
        const { containers } = folder;
        const failed = (container) => container.summary && container.summary.status !== 0;
        const order = $('failures-first').checked
            ? [...containers.filter(failed), ...containers.filter((container) => !failed(container))] : containers;
        const pages = Math.max(1, Math.ceil(order.length / folderPageSize));
        folder.page = Math.min(folder.page, pages - 1);
        const shown = order.slice(folder.page * folderPageSize, (folder.page + 1) * folderPageSize);
        const body = $('containers').tBodies[0];
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.path : undefined;
        folder.shown = new Map(shown.map((container) => [container, folderRow(container)]));
        body.replaceChildren(...folder.shown.values());
        folder.rows = false;
        $('folder-range').textContent = `containers ${count(folder.page * folderPageSize + 1)}\u2013` +
            `${count(folder.page * folderPageSize + shown.length)} of ${count(order.length)}`;
        $('folder-previous').disabled = folder.page === 0;
        $('folder-next').disabled = folder.page + 1 >= pages;
        $('folder-pages').hidden = pages < 2;
        showChecked();
        if (focused !== undefined) {
            const again = [...body.querySelectorAll('button')].find((button) => button.dataset.path === focused);
            (again || $('folder-status')).focus();
        }
    }

    // A container's row: its path (opening its view), stream count, BAD
    // SIZE warnings and result; a failed one with .ssd files can be dumped
    // anyway.
    function folderRow(container) {
        const row = document.createElement('tr');
        const open = document.createElement('button');
        open.type = 'button';
        open.className = 'path';
        open.textContent = container.path;
        open.dataset.path = container.path;
        open.setAttribute('aria-label', `Open ${container.path}`);
        open.addEventListener('click', () => openContainer(container));
        row.insertCell().append(open);
        const [streams, warnings, result, dumpCell] = [row.insertCell(), row.insertCell(), row.insertCell(), row.insertCell()];
        const { summary } = container;
        if (!summary) {
            result.textContent = 'waiting';
            return row;
        }
        streams.textContent = summary.count === null ? '' : count(summary.count);
        warnings.textContent = summary.warnings ? count(summary.warnings) : '';
        if (summary.step) {
            showStep(result, summary.step);
        } else {
            result.textContent = summary.status === 0 ? 'ok' : sentence(summary.said);
        }
        const failed = summary.status !== 0;
        row.classList.toggle('failed', failed);
        row.classList.toggle('warned', summary.warnings > 0);
        if (failed && container.ssds.length > 0) {
            const label = document.createElement('label');
            const box = document.createElement('input');
            box.type = 'checkbox';
            box.checked = folder.forced.has(container);
            box.addEventListener('change', () => {
                box.checked ? folder.forced.add(container) : folder.forced.delete(container);
            });
            label.append(box, ' dump anyway');
            dumpCell.append(label);
        }
        return row;
    }

    // A row's container in the whole view, its text run again; its .ssd
    // files keep the folder's pairing, which changes there change too.
    function openContainer(container) {
        jobs.drop();
        Object.assign(state, {
            container: container.file, ssds: [...container.ssds], pairs: folder.pairs, listing: null, text: null,
            page: 0, dump: null,
        });
        $('progress-box').hidden = true;
        list();
        $('result').scrollIntoView();
    }

    async function list() {
        const container = state.container;
        $('result').hidden = false;
        // Nothing of an earlier listing stays beside this one's summary.
        $('map').hidden = true;
        $('failure').hidden = true;
        $('text').textContent = '';
        showPage();
        $('summary').textContent = `Listing ${container.name}\u2026`;
        const listing = jobs.list({ args: [container.name], files: [container] });
        showBusy();
        let result;
        try {
            result = await listing;
        } catch (error) {
            if (error.name !== 'AbortError' && state.container === container) {
                $('summary').textContent = sentence(`The listing did not finish: ${error.message}`);
            }
            return;
        } finally {
            showBusy();
        }
        // A listing of files no longer chosen is never shown.
        if (result.files[0] !== state.container) {
            return;
        }
        const stderr = decoder.decode(result.stderr);
        const step = srtxListingReader.failedStep(stderr);
        state.listing = srtxListingReader.parse(result.stdout, container.name);
        state.page = 0;
        const status = new TextEncoder().encode(`exit status ${result.status}\n`);
        state.text = new Uint8Array(result.stdout.length + result.stderr.length + status.length);
        state.text.set(result.stdout);
        state.text.set(result.stderr, result.stdout.length);
        state.text.set(status, result.stdout.length + result.stderr.length);

        const { words, badSize, badEnd } = state.listing;
        const warnings = badSize.size + (badEnd ? 1 : 0);
        $('summary').textContent = state.listing.count === null ? `${container.name}: no stream count.`
            : `${container.name}: ${count(state.listing.count)} streams` +
              (step ? `, ${count(words.length)} listed before the walk stopped` : '') +
              (warnings ? `; ${count(warnings)} BAD SIZE warning${warnings === 1 ? '' : 's'}` +
                  (badEnd ? ' (one because the file does not end after the last DSP entry)' : '') : '') + '.';
        const failure = $('failure');
        failure.hidden = !step;
        failure.replaceChildren();
        if (step) {
            showStep(failure, step);
        }
        map.show(container.size, result.trace, step);
        $('map').hidden = false;
        const pre = $('text');
        // A long text shows its head and its end (where errors and the status
        // are), cut at line ends; Copy takes all of it.
        const bytes = state.text;
        const head = bytes.lastIndexOf(10, shownTextLimit / 2) + 1;
        const tail = bytes.indexOf(10, bytes.length - shownTextLimit / 2) + 1;
        pre.textContent = bytes.length <= shownTextLimit || head === 0 || tail <= head ? decoder.decode(bytes)
            : `${decoder.decode(bytes.subarray(0, head))}\u2026 ${count(tail - head)} bytes left out here; ` +
              `Copy and Save text take the whole text \u2026\n${decoder.decode(bytes.subarray(tail))}`;
        showPairs();
        showPage();
        // For the benchmark: the listing is all on the page from here.
        performance.mark('srtx-listed');
    }

    function showPage() {
        const listing = state.listing || { words: [], badSize: new Set() };
        const body = $('streams').tBodies[0];
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.stream : undefined;
        const range = srtxListing.renderPage(body, listing, state.page, (cell, stream) => {
            const ssd = state.ssds.find((file) => state.pairs.get(file) === stream);
            if (ssd) {
                const button = document.createElement('button');
                button.type = 'button';
                button.textContent = 'Dump';
                button.setAttribute('aria-label', `Dump stream ${stream} with ${ssd.name}`);
                button.dataset.stream = String(stream);
                button.disabled = jobs.dumping;
                button.addEventListener('click', () => dump(stream, ssd));
                cell.append(button);
            }
        });
        $('page-range').textContent = listing.words.length
            ? `streams ${count(range.first)}\u2013${count(range.last)} of ${count(listing.words.length)}`
            : 'no streams listed';
        $('previous').disabled = state.page === 0;
        $('next').disabled = state.page + 1 >= range.pages;
        $('pages').hidden = range.pages < 2;
        // A table of headers alone says nothing.
        $('table-box').hidden = listing.words.length === 0;
        // Focus stays on a row's Dump button, rebuilt with the page.
        if (focused !== undefined) {
            const again = body.querySelector(`button[data-stream="${focused}"]`);
            (again && !again.disabled ? again : $('summary')).focus();
        }
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
            input.value = state.pairs.get(ssd) ?? '';
            input.addEventListener('change', () => {
                const value = input.value.trim();
                state.pairs.set(ssd, /^\d+$/.test(value) ? Number(value) : null);
                showPage();
            });
            label.append(`${ssd.name} \u2192 stream `, input);
            item.append(label, ` \u2192 ${srtxDump.outputName(ssd.name)}`);
            list.append(item);
        }
    }

    function paired() {
        return state.ssds.filter((ssd) => state.pairs.get(ssd) !== null)
            .map((ssd) => ({ stream: state.pairs.get(ssd), ssd }))
            .sort((a, b) => a.stream - b.stream || a.ssd.name.localeCompare(b.ssd.name));
    }

    // A progress bar for outputs of 50 MiB or more.
    function progress(total) {
        $('progress-box').hidden = total < progressFrom;
        $('progress').value = 0;
        // The bar changes at most every 200 ms, and at the end: each change is
        // styled and laid out afresh, garbage that only the collector's next
        // full run takes back (in Blink, a megabyte for every 128 changes,
        // piling up from one dump to the next).
        let shown = 0;
        return (written) => {
            const now = performance.now();
            if (now - shown >= 200 || written >= total) {
                shown = now;
                $('progress').value = Math.min(1, written / total);
            }
        };
    }

    const sayInView = (message) => { $('summary').textContent = message; };
    const sayInFolder = (message) => { $('folder-status').textContent = message; };

    function reportFailedDump(stream, ssd, result, say = sayInView) {
        const stderr = decoder.decode(result.stderr);
        const step = srtxListingReader.failedStep(stderr);
        // Without a failed step, the tool's last line says why (a stream
        // number past the last stream).
        const said = step ? `${step} failed: ${srtxListingReader.explain(step)}`
            : decoder.decode(result.stdout).trim().split('\n').pop();
        say(`The dump of stream ${stream} with ${ssd.name} failed (${said.replace(/\.$/, '')}).`);
    }

    // Runs a dump job through the controller, Cancel ending it; says so when
    // it did not finish.
    async function whileDumping(what, body, { stream = null, say = sayInView } = {}) {
        const job = jobs.dump(body);
        state.dump = job;
        showBusy();
        try {
            await job.done;
        } catch (error) {
            // A dump dropped with its container says nothing over the next one.
            if (state.dump === job) {
                say(sentence(`${what} did not finish: ${error.message}`));
            }
        } finally {
            if (state.dump === job) {
                state.dump = null;
                $('progress-box').hidden = true;
            }
            // (The rows stay: rebuilt, a page of them would be garbage that
            // only the collector's next full run takes back.)
            showBusy();
            // A row's Dump button, disabled while it ran, has the focus back
            // unless the user took it elsewhere meanwhile. The page stays
            // where the user has scrolled to (in Blink, scrolling back also
            // left megabytes for the collector, piling up from one dump to
            // the next).
            if (stream !== null && (document.activeElement === null || document.activeElement === document.body)) {
                const button = document.querySelector(`#streams button[data-stream="${stream}"]`);
                (button || $('summary')).focus({ preventScroll: true });
            }
        }
    }

    // Where an output goes: straight into a file the user chooses, where the
    // browser offers that (File System Access) and the output is large,
    // else into a download. Must come first in a click's handler, while the
    // click still lets the page open a dialog.
    async function saveTarget(name, size, inputs) {
        srtxOutputs.release();
        const refused = srtxBridge.refusal(inputs + size);
        if (refused) {
            throw new Error(refused);
        }
        if (size < progressFrom || typeof window.showSaveFilePicker !== 'function') {
            return srtxOutputs.intoDownload(name, size);
        }
        const handle = await window.showSaveFilePicker({ suggestedName: name });
        return srtxOutputs.intoFile(await handle.createWritable());
    }

    async function dump(stream, ssd) {
        const name = srtxDump.outputName(ssd.name);
        let target;
        try {
            target = await saveTarget(name, 144 + ssd.size, state.container.size + ssd.size);
        } catch (error) {
            $('summary').textContent = sentence(`The dump was not started: ${error.message}`);
            return;
        }
        const container = state.container;
        const show = progress(144 + ssd.size);
        await whileDumping('The dump', async (signal) => {
            const result = await srtxDump.dumpOne(container, stream, ssd, signal, show, target.write)
                .catch(async (error) => {
                    await target.finish(false, signal);
                    throw error;
                });
            await target.finish(result.status === 0, signal);
            if (result.status !== 0) {
                reportFailedDump(stream, ssd, result);
            } else {
                $('summary').textContent = `Dumped stream ${stream} into ${name}.`;
            }
        }, { stream });
    }

    // These dumps as one ZIP, progress told in bytes written of all.
    async function zipDumps(dumps, name, say, leftOut = []) {
        const total = dumps.reduce((sum, each) => sum + 144 + each.ssd.size, 0);
        const inputs = Math.max(...dumps.map((each) => each.container.size)) +
            dumps.reduce((sum, each) => sum + each.ssd.size, 0);
        let target;
        try {
            target = await saveTarget(name, total, inputs);
        } catch (error) {
            say(sentence(`Dump all was not started: ${error.message}`));
            return;
        }
        const show = progress(total);
        let done = 0;
        let current = -1;
        let currentWritten = 0;
        const onDump = (index, written) => {
            if (index !== current) {
                done += currentWritten;
                current = index;
            }
            currentWritten = written;
            show(done + written);
        };
        await whileDumping('Dump all', async (signal) => {
            const { zip, failures } = srtxDump.zipAll(dumps, onDump, signal);
            try {
                const reader = zip.getReader();
                for (let piece = await reader.read(); !piece.done; piece = await reader.read()) {
                    // The ZIP's pieces come from several workers, none of them
                    // waiting for spares.
                    srtxOutputs.giveBack(await target.write(piece.value));
                }
            } catch (error) {
                await target.finish(false, signal).catch(() => {});
                if (failures.length > 0) {
                    reportFailedDump(failures[0].stream, failures[0].ssd, failures[0].result, say);
                    return;
                }
                throw error;
            }
            await target.finish(true, signal);
            const containers = new Set(dumps.map((each) => each.container)).size;
            say(`Dumped ${dumps.length} stream${dumps.length === 1 ? '' : 's'}` +
                (folder ? ` of ${count(containers)} container${containers === 1 ? '' : 's'}` : '') + ` into ${name}.` +
                (leftOut.length ? ` Left out: ${leftOut.join('; ')}.` : ''));
        }, { say });
    }

    function dumpAll() {
        const container = state.container;
        const dumps = paired().map(({ stream, ssd }) => ({ container, stream, ssd, name: srtxDump.outputName(ssd.name) }));
        return zipDumps(dumps, `${container.name.replace(/\.srt$/i, '')}-streams.zip`, sayInView);
    }

    // The folder's Dump all: the containers listed to the end (and failed
    // ones asked for on their rows), their members at the paths chosen.
    function dumpFolder() {
        const { dumps, leftOut } = srtxFolder.dumpPlan(folder.containers, folder.pairs, folder.forced);
        if (dumps.length === 0) {
            sayInFolder('Nothing to dump' + (leftOut.length ? `; left out: ${leftOut.join('; ')}.` : ': no .ssd file is paired.'));
            return;
        }
        return zipDumps(dumps, `${folder.name}-streams.zip`, sayInFolder, leftOut);
    }

    // Whatever goes wrong in the page or its worker outside a run's own
    // result is told, never left to a console the user does not see.
    const problems = [];
    const tell = (message) => {
        problems.push(message);
        $('problems').hidden = false;
        $('problems').textContent = `Something went wrong in the page: ${problems.join('; ')}.`;
    };
    addEventListener('error', (event) => tell(String(event.message)));
    addEventListener('unhandledrejection', (event) => tell(String(event.reason && event.reason.message || event.reason)));
    addEventListener('securitypolicyviolation', (event) => tell(`${event.violatedDirective} blocked ${event.blockedURI}`));
    addEventListener('srtx-problem', (event) => tell(event.detail));

    setTimeout(srtxBridge.prepare);
    $('files').addEventListener('change', (event) => choose(event.target.files));
    $('folder').addEventListener('change', (event) =>
        chooseFolder([...event.target.files].map((file) => ({ file, path: srtxFolder.pathOf(file) }))));
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
        const files = [...event.dataTransfer.files];
        const walking = srtxFolder.dropped(event.dataTransfer);
        walking ? walking.then(chooseFolder, (error) => tell(String(error.message || error))) : choose(files);
    });
    // Paging keeps the focus on the pager: on the other button once the one
    // pressed can no longer be. by(step) turns the page and shows it.
    const pager = (previous, next, by) => {
        for (const [pressed, other, step] of [[previous, next, -1], [next, previous, 1]]) {
            $(pressed).addEventListener('click', () => {
                by(step);
                if ($(pressed).disabled) {
                    $(other).focus();
                }
            });
        }
    };
    pager('previous', 'next', (step) => {
        state.page += step;
        showPage();
    });
    $('dump-all').addEventListener('click', dumpAll);
    $('dump-folder').addEventListener('click', dumpFolder);
    $('cancel-check').addEventListener('click', () => folder && folder.control.abort());
    $('failures-first').addEventListener('change', () => folder && showFolder());
    pager('folder-previous', 'folder-next', (step) => {
        folder.page += step;
        showFolder();
    });
    $('save-summary').addEventListener('click', () =>
        srtxOutputs.saveText(srtxFolder.tabSeparated(folder.containers), `${folder.name}-summary.tsv`));
    $('cancel').addEventListener('click', () => state.dump && state.dump.cancel());
    $('save-text').addEventListener('click', () => {
        const base = state.container ? state.container.name.replace(/\.srt$/i, '') : 'srtx';
        srtxOutputs.saveText(state.text || '', `${base}-listing.txt`);
    });
    $('copy').addEventListener('click', async () => {
        try {
            await navigator.clipboard.writeText(wholeText());
            $('summary').textContent = 'The text is copied.';
        } catch {
            getSelection().selectAllChildren($('text'));
            $('summary').textContent = 'The text is selected: copy it with the keyboard.';
        }
    });
    $('copy-summary').addEventListener('click', async () => {
        try {
            await navigator.clipboard.writeText(srtxFolder.tabSeparated(folder.containers));
            sayInFolder('The summary is copied, as tab-separated text.');
        } catch {
            sayInFolder('The browser did not let the page copy: Save gives the summary as a file.');
        }
    });
})();
