// srtx as a library for Node programs.

/** What the command printed and its exit status, byte for byte. */
export interface RunResult {
    status: number;
    stdout: Buffer;
    stderr: Buffer;
}

export interface Stream {
    index: number;
    /** The signed big-endian word at bytes 88-91 of the stream's DspEntry. */
    word: number;
    /** A BAD SIZE warning came just before this stream's line. */
    badSize: boolean;
}

export interface ListResult {
    status: number;
    /** The count line's number; null when no count line was printed. */
    count: number | null;
    /** The streams listed, in order; fewer than count when the walk stopped.
     *  Made when first read (a million streams are a million objects), then kept. */
    readonly streams: Stream[];
    /** The file does not end right after the DSP entry visited last. */
    badSizeAtEnd: boolean;
    /** The step of the error line, e.g. "check SSD block header"; null on success. */
    failedStep: string | null;
    /** Standard output as the command prints it; made when first read. */
    readonly text: string;
}

export interface DumpResult {
    status: number;
    failedStep: string | null;
    /** The error or bad-stream-number line; '' when the dump was written. */
    message: string;
}

/** Runs srtx with the arguments after the program name. */
export function run(args: readonly string[]): Promise<RunResult>;
/** Lists a container. Relative paths resolve against process.cwd(). */
export function list(containerPath: string): Promise<ListResult>;
/** Writes stream's DspEntry followed by the .ssd file's bytes to output. */
export function dump(container: string, stream: number | string, ssd: string, output: string): Promise<DumpResult>;
/** A failed step in plain words. */
export function explainStep(step: string): string;

declare const srtx: { run: typeof run; list: typeof list; dump: typeof dump; explainStep: typeof explainStep };
export default srtx;
