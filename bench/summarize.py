#!/usr/bin/env python3
"""Turns the raw figures bench/run.sh collected into the Markdown table, the
tick periods, and the gnuplot data for the plot of their distribution.

    summarize.py RAW TICKS_DIR OUT_DIR [WINE_TICKS_DIR [PAGE_TICKS_DIR]]
    summarize.py --page RAW OUT_DIR

RAW has one line per measurement, "who=NAME key=value ...". TICKS_DIR holds
one file per traced drop, each line "NS TIMER" as bench/ticktrace.cpp writes
them; WINE_TICKS_DIR the same from the Windows program under Wine
(bench/ticktrace_win32.cpp), PAGE_TICKS_DIR from the site in Chromium
(bench/pageprobe.cjs). Writes OUT_DIR/latest.md and
OUT_DIR/tick-periods.txt, and prints the tables. With --page, RAW holds only
the page's figures (bench/page.sh): the site beside the floor page, and
Lighthouse; writes OUT_DIR/page.md and prints it.
"""

import os
import statistics
import sys


def read_runs(path):
    runs = {}
    with open(path) as f:
        for line in f:
            fields = dict(item.split('=', 1) for item in line.split())
            who = fields.pop('who')
            runs.setdefault(who, []).append(fields)
    return runs


def values(runs, who, key, scale=1.0):
    out = []
    for run in runs.get(who, []):
        if run.get('ok', '1') == '1' and key in run and run[key] not in ('none', '-1.00'):
            out.append(float(run[key]) * scale)
    return out


def percentile(data, fraction):
    ordered = sorted(data)
    if not ordered:
        return float('nan')
    at = fraction * (len(ordered) - 1)
    low = int(at)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (at - low)


def cell(data, digits=1):
    if not data:
        return '–'
    median = statistics.median(data)
    if len(data) == 1:
        return f'{median:.{digits}f}'
    return f'{median:.{digits}f} ({min(data):.{digits}f}–{max(data):.{digits}f})'


def tick_periods(ticks_dir):
    """Periods in ms between consecutive ticks of the same timer, per drop."""
    periods = []
    drops = 0
    for name in sorted(os.listdir(ticks_dir)):
        last = {}
        with open(os.path.join(ticks_dir, name)) as f:
            lines = f.read().split('\n')
        if not any(lines):
            continue
        drops += 1
        for line in lines:
            if not line:
                continue
            ns, timer = line.split()
            if timer in last:
                periods.append((int(ns) - last[timer]) / 1e6)
            last[timer] = int(ns)
    return periods, drops


def ticks(data, count):
    """Median / p99 of tick periods, with how many there were."""
    if not data:
        return '–'
    return f'{statistics.median(data):.2f} / {percentile(data, 0.99):.2f} ({len(data)} periods, {count} drops)'


def windows_table(runs, periods, drops, wine_periods, wine_drops):
    """The Linux program beside the Windows one under Wine, on the same servers."""

    def calls(who):
        data = values(runs, who, 'call_ms')
        return f'{cell(data, 3)}, p99 {percentile(data, 0.99):.3f}' if data else '–'

    size = runs.get('size', [{}])[-1]
    rows = [
        ('exec → first frame with the ball (ms)', cell(values(runs, 'zorbel', 'frame_ms')),
         cell(values(runs, 'zorbel_wine', 'frame_ms')), '–'),
        ('CPU during the startup drop (% of one core)', cell(values(runs, 'zorbel', 'drop_cpu_percent'), 2),
         cell(values(runs, 'zorbel_wine', 'drop_cpu_percent'), 2), '≤ 1 %'),
        ('tmrAnimate period, median / p99 (ms)', ticks(periods, drops), ticks(wine_periods, wine_drops),
         '10.0 / ≤ 10.5'),
        ('play call, median (min–max) (ms)', calls('sound_zorbel_pulseaudio'), calls('sound_wine'), 'p99 ≤ 2'),
        ('program size without symbols (KiB)', f"{int(size.get('linux_bytes', 0)) / 1024:.0f} ⁵",
         f"{int(size.get('windows_bytes', 0)) / 1024:.0f} ⁶", '–'),
    ]
    return [
        '',
        '| figure | Linux (Qt) | Windows under Wine | goal |',
        '|---|---|---|---|',
    ] + ['| ' + ' | '.join(row) + ' |' for row in rows] + [
        '',
        'Windows: Zorbel.exe (x86-64) under Wine 8 on the same Xvfb and PulseAudio, its wineserver kept running',
        '(bench/ticktrace_win32.cpp notes the ticks; bench/soundtiming_win32.cpp times sndPlaySoundA through',
        'modDichiarazioniComuni).',
        '⁵ plus Qt\'s shared libraries.',
        '⁶ self-contained: C++ runtime linked in.',
    ]


def browser_table(runs, periods, drops, page_periods, page_drops):
    """The Linux program beside the site in Chromium, on the same servers."""

    size = runs.get('size', [{}])[-1]
    page = runs.get('page', [{}])[-1]
    rows = [
        ('exec or navigation → first frame with the ball (ms)', cell(values(runs, 'zorbel', 'frame_ms')),
         cell(values(runs, 'page', 'frame_ms')), '–'),
        ('CPU during the startup drop (% of one core)', cell(values(runs, 'zorbel', 'drop_cpu_percent'), 2),
         cell(values(runs, 'page', 'drop_cpu_percent'), 1) + ' ⁷', '≤ 1 %'),
        ("… the page's renderer alone (%)", '–', cell(values(runs, 'page', 'renderer_cpu_percent'), 1), '–'),
        ('tmrAnimate period, median / p99 (ms)', ticks(periods, drops), ticks(page_periods, page_drops),
         '10.0 / ≤ 10.5'),
        ('program size (KiB)', f"{int(size.get('linux_bytes', 0)) / 1024:.0f} ⁵",
         f"{int(page.get('site_bytes', 0)) / 1024:.0f}, gzipped {int(page.get('site_gzip_bytes', 0)) / 1024:.0f} ⁸",
         'site ≤ 100 gzipped'),
    ]
    return [
        '',
        '| figure | Linux (Qt) | browser (Chromium) | goal |',
        '|---|---|---|---|',
    ] + ['| ' + ' | '.join(row) + ' |' for row in rows] + [
        '',
        'Browser: the site built with emscripten, served from 127.0.0.1 and opened in headless Chromium at',
        '608 × 428 with the autoplay policy a visitor has (its startup drop silent), sound into the same PulseAudio',
        '(bench/pageprobe.cjs: the ball\'s Element Timing, the ticks of the page\'s interval timers, CPU from /proc).',
        '⁷ every Chromium process: browser, renderer, GPU (software compositing) and audio.',
        '⁸ index.html, Zorbel.js and Zorbel.wasm (pictures and sounds inside), gzipped file by file.',
    ]


def page_table(runs):
    """The site beside the floor page in Chromium, and what Lighthouse makes of it."""

    def both(figure, key, digits=1, goal='–'):
        return (figure, cell(values(runs, 'page', key), digits), cell(values(runs, 'page_bare', key), digits), goal)

    zorbel = values(runs, 'page', 'frame_ms')
    bare = values(runs, 'page_bare', 'frame_ms')
    ratio = '–'
    if zorbel and bare:
        floor = statistics.median(bare)
        ratio = f'≤ 1.3 × floor = {1.3 * floor:.0f} (now {statistics.median(zorbel) / floor:.2f} ×)'
    rests = len(values(runs, 'page', 'rest_cpu_percent'))
    plural = lambda n, word: f'{n} {word}' + ('' if n == 1 else 's')
    activated = sum(1 for who in ('page', 'page_bare') for run in runs.get(who, []) if run.get('activated') == '1')
    page = runs.get('page', [{}])[-1]
    rows = [
        both('navigation → first frame with the ball (ms; ' + (f'{plural(len(zorbel), "visit")} each)' if len(zorbel) == len(bare)
                                                          else f'{len(zorbel)} and {plural(len(bare), "visit")})'), 'frame_ms', 0, ratio),
        both('CPU during the startup drop (% of one core) ¹', 'drop_cpu_percent'),
        both("… the page's renderer alone (%)", 'renderer_cpu_percent'),
        both('… from the 3rd contact to the 10th (%) ¹', 'steady_cpu_percent'),
        both("… the page's renderer alone (%)", 'steady_renderer_cpu_percent'),
        both(f'CPU at rest before any gesture (%; {plural(rests, "visit")} each) ²', 'idle_cpu_percent', 2),
        both('CPU from a click on the ball, over the next seconds (%) ³', 'click_cpu_percent', 2),
        both('CPU at rest after that click (%) ³', 'rest_cpu_percent', 2, '≈ floor'),
        both("… the page's renderer alone (%)", 'rest_renderer_cpu_percent', 2),
        both('… the audio service alone (%)', 'rest_audio_cpu_percent', 2, '0'),
        ('site size (KiB)', f"{int(page.get('site_bytes', 0)) / 1024:.0f}, gzipped "
         f"{int(page.get('site_gzip_bytes', 0)) / 1024:.0f}" if 'site_bytes' in page else '–', '–', 'gzipped ≤ 100'),
    ]
    lines = [
        '',
        '| page figure | Zorbel | floor page | goal |',
        '|---|---|---|---|',
    ] + ['| ' + ' | '.join(row) + ' |' for row in rows] + [
        '',
        'Both pages served from 127.0.0.1 and opened in turn in headless Chromium at 608 × 428, each visit in a',
        'fresh browser, with the autoplay policy a visitor has (bench/pageprobe.cjs: the ball\'s Element Timing,',
        'CPU of every Chromium process from /proc). Floor page: bench/barepage, the same picture dropped on a',
        '10 ms interval with the ball logic\'s motion, counting to "10" in the title.',
        '¹ from the first frame until the title reads "10": browser, renderer, GPU (software compositing), audio.',
        '  The first frame of a quick page falls in the browser\'s own start, which then counts against it; from',
        '  the 3rd contact (a second into the drop) on, both are past it.',
        '² a second after the drop, before any gesture.',
        '³ a mouse click on the middle of the ball (Zorbel drops it from where it rests: a release and a bounce',
        '  cue), then at rest after that; the seconds are in bench/pageprobe.cjs\'s header.',
    ]
    if activated:
        lines.append(f'⚠ {activated} visits had a user gesture before the click: their rest figures are not a visitor\'s.')

    lighthouse = {form: runs.get(f'lighthouse_{form}', []) for form in ('mobile', 'desktop')}
    if not any(lighthouse.values()):
        return lines

    def scores(form, key, digits=0):
        return cell(values(runs, f'lighthouse_{form}', key), digits)

    def flagged(form, category):
        counts = {}
        for run in lighthouse[form]:
            for audit in run.get('flagged', 'none').split(','):
                if audit.startswith(category + ':'):
                    counts[audit] = counts.get(audit, 0) + 1
        if not lighthouse[form]:
            return '–'
        total = len(lighthouse[form])
        return ', '.join(f'`{audit.split(":", 1)[1]}`' + ('' if n == total else f' ({n} of {total})')
                         for audit, n in sorted(counts.items())) or 'none'

    metric_rows = [
        ('performance score', 'performance', 0, '≥ 95 mobile'),
        ('first contentful paint (ms)', 'fcp_ms', 0, '–'),
        ('largest contentful paint (ms)', 'lcp_ms', 0, '–'),
        ('total blocking time (ms)', 'tbt_ms', 0, '–'),
        ('speed index (ms)', 'si_ms', 0, '–'),
        ('cumulative layout shift', 'cls', 3, '–'),
        ('accessibility / best practices / SEO', None, 0, '–'),
        ('benchmark index (this machine; Lighthouse expects ≥ 1000)', 'benchmark_index', 0, '–'),
    ]
    version = next((run.get('version') for form in lighthouse.values() for run in form), '?')
    served = next((run.get('served') for form in lighthouse.values() for run in form), '?')
    lines += [
        '',
        f'| Lighthouse {version} | mobile ({plural(len(lighthouse["mobile"]), "run")}) | desktop ({plural(len(lighthouse["desktop"]), "run")}) | goal |',
        '|---|---|---|---|',
    ]
    for figure, key, digits, goal in metric_rows:
        if key is None:
            cells = ['/'.join(scores(form, k).split(' ')[0] for k in ('accessibility', 'best_practices', 'seo'))
                     if lighthouse[form] else '–' for form in ('mobile', 'desktop')]
        else:
            cells = [scores(form, key, digits) for form in ('mobile', 'desktop')]
        lines.append(f'| {figure} | {cells[0]} | {cells[1]} | {goal} |')
    for category in ('performance', 'accessibility', 'best-practices', 'seo'):
        lines.append(f'| flagged ({category}) | {flagged("mobile", category)} | {flagged("desktop", category)} | none |')
    lines += [
        '',
        'Medians with (min–max). Lighthouse from npm (bench/package-lock.json) in Debian\'s Chromium, headless, the',
        f'site served from 127.0.0.1 {"gzipped, as a web host sends it" if served == "gzip" else "as the files are"}',
        '(bench/lighthouse.cjs). Mobile is its default: a mid-range phone on slow 4G, simulated. Flagged: the',
        'scored audits under 0.9, by id; "(n of m)" when not in every run.',
    ]
    return lines


def sound_table(runs):
    """The cues through PulseAudio and through PipeWire, side by side."""
    servers = ('pulseaudio', 'pipewire')

    def row(figure, who, show, goal='–'):
        return (figure, *(show(f'sound_{who}_{server}') for server in servers), goal)

    def onsets(who):
        data = values(runs, who, 'onset_ms')
        unheard = sum(1 for run in runs.get(who, []) if run.get('onset_ms') == 'none')
        return cell(data, 2) + (f', {unheard} unheard' if unheard else '') if data else '–'

    def gaps(who):
        data = values(runs, who, 'gap_ms')
        return f'{sum(data):.0f} ({sum(1 for gap in data if gap > 0)} of {len(data)} cues)' if data else '–'

    def p99(key, digits):
        return lambda who: f'{percentile(values(runs, who, key), 0.99):.{digits}f}' if values(runs, who, key) else '–'

    cues = len(values(runs, 'sound_zorbel_pulseaudio', 'onset_ms'))
    rows = [
        row('play call, median (min–max) (ms)', 'zorbel', lambda who: cell(values(runs, who, 'call_ms'), 3)),
        row('play call, p99 (ms)', 'zorbel', p99('call_ms', 3), '≤ 2'),
        row(f'sound onset after the call (ms; {cues} cues)', 'zorbel', onsets, '≤ 5'),
        row('… a plain stream ⁴', 'floor', onsets),
        row('sound onset, p99 (ms)', 'zorbel', p99('onset_ms', 2)),
        row('… a plain stream ⁴', 'floor', p99('onset_ms', 2)),
        row('missing inside cues, 1 ms blocks (ms in all)', 'zorbel', gaps, '0'),
        row('… a plain stream ⁴', 'floor', gaps),
    ]
    return [
        '',
        '| sound cue figure | PulseAudio | PipeWire (pipewire-pulse) | goal |',
        '|---|---|---|---|',
    ] + ['| ' + ' | '.join(r) + ' |' for r in rows] + [
        '',
        'Each server started for its run with a null sink; onsets from the call to the first loud sample in a',
        'recording of the sink, in 1 ms blocks stamped when they arrive. PipeWire hands the recording over once',
        'per graph cycle (5.3 ms here), so its onsets come out up to that much early: compare them with the',
        'plain stream on the same server.',
        '⁴ the same cue bytes written to one plain stream with a large buffer that plays from the first byte.',
    ]


def page_main(raw, out_dir):
    table = '\n'.join(page_table(read_runs(raw))[1:]) + '\n'
    with open(os.path.join(out_dir, 'page.md'), 'w') as f:
        f.write(table)
    print(table)


def main():
    if sys.argv[1] == '--page':
        page_main(*sys.argv[2:4])
        return
    raw, ticks_dir, out_dir = sys.argv[1:4]
    runs = read_runs(raw)
    periods, drops = tick_periods(ticks_dir)
    with open(os.path.join(out_dir, 'tick-periods.txt'), 'w') as f:
        f.write(''.join(f'{p:.4f}\n' for p in periods))

    kib_to_mib = 1 / 1024
    floor_frame = statistics.median(values(runs, 'bare', 'frame_ms') or [float('nan')])
    zorbel_frame = statistics.median(values(runs, 'zorbel', 'frame_ms') or [float('nan')])

    def per_tick(who):
        return [px / (wall / 10) for px, wall in
                zip(values(runs, who, 'drop_drawn_px'), values(runs, who, 'drop_wall_ms'))]

    def p99_max(data):
        return f'{percentile(data, 0.99):.2f} / {max(data):.2f}' if data else '–'

    rows = [
        ('exec → window mapped (ms)', cell(values(runs, 'zorbel', 'mapped_ms')),
         cell(values(runs, 'bare', 'mapped_ms')), cell(values(runs, 'xeyes', 'mapped_ms')), '–'),
        ('exec → first frame with the ball (ms)', cell(values(runs, 'zorbel', 'frame_ms')),
         cell(values(runs, 'bare', 'frame_ms')), cell(values(runs, 'xeyes', 'frame_ms')) + ' ¹',
         f'≤ 1.2 × floor = {1.2 * floor_frame:.1f} (now {zorbel_frame / floor_frame:.2f} ×)'),
        ('idle wake-ups in 5 s, all threads (context switches)', cell(values(runs, 'zorbel', 'idle_switches'), 0),
         cell(values(runs, 'bare', 'idle_switches'), 0), cell(values(runs, 'oneko', 'idle_switches'), 0) + ' ²', '0'),
        ('idle CPU in 5 s (ms)', cell(values(runs, 'zorbel', 'idle_cpu_ms'), 2),
         cell(values(runs, 'bare', 'idle_cpu_ms'), 2), cell(values(runs, 'oneko', 'idle_cpu_ms'), 2) + ' ²', '–'),
        ('CPU during the startup drop (% of one core)', cell(values(runs, 'zorbel', 'drop_cpu_percent'), 2),
         cell(values(runs, 'bare_animate', 'drop_cpu_percent'), 2) + ' ³', '–', '≤ 1 %'),
        ('… the same without a sound server (%)', cell(values(runs, 'zorbel_silent', 'drop_cpu_percent'), 2),
         '–', '–', '–'),
        ('area drawn per tick during the drop (px)', cell(per_tick('zorbel'), 0),
         cell(per_tick('bare_animate'), 0) + ' ³', '–', '–'),
        (f'tmrAnimate period, median (ms; {len(periods)} periods, {drops} drops)',
         f'{statistics.median(periods):.2f}' if periods else '–', '–', '–', '10.0'),
        ('tmrAnimate period, p99 / max (ms)', p99_max(periods), '–', '–', 'p99 ≤ 10.5'),
        ('peak RSS after settling (MiB)', cell(values(runs, 'zorbel', 'peak_rss_kib', kib_to_mib)),
         cell(values(runs, 'bare', 'peak_rss_kib', kib_to_mib)), cell(values(runs, 'xeyes', 'peak_rss_kib', kib_to_mib)),
         '–'),
        ('private RSS after settling (MiB)', cell(values(runs, 'zorbel', 'private_kib', kib_to_mib), 2),
         cell(values(runs, 'bare', 'private_kib', kib_to_mib), 2),
         cell(values(runs, 'xeyes', 'private_kib', kib_to_mib), 2), '≤ 5'),
    ]
    lines = ['| figure | Zorbel | floor | peer | goal |', '|---|---|---|---|---|']
    lines += ['| ' + ' | '.join(row) + ' |' for row in rows]
    notes = [
        '',
        'Medians with (min–max) over the runs. Floor: a bare Qt 6 Widgets window (bench/barewindow.cpp);',
        'peer: xeyes for start-up and memory, oneko for idle.',
        '¹ xeyes has no ball: its first drawing at all.',
        '² oneko wakes on a timer to look for the pointer.',
        '³ the bare window moving the same picture as a child widget on a 10 ms timer for 234 ticks.',
    ]
    notes += sound_table(runs)
    if len(sys.argv) > 4:
        notes += windows_table(runs, periods, drops, *tick_periods(sys.argv[4]))
    if len(sys.argv) > 5:
        notes += browser_table(runs, periods, drops, *tick_periods(sys.argv[5]))
    if 'page_bare' in runs or 'lighthouse_mobile' in runs:
        notes += page_table(runs)
    table = '\n'.join(lines + notes) + '\n'
    with open(os.path.join(out_dir, 'latest.md'), 'w') as f:
        f.write(table)
    print(table)


if __name__ == '__main__':
    main()
