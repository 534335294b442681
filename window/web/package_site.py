#!/usr/bin/env python3
"""Seals the built site: writes its service worker, whose copy is named for
the other files' bytes, and packs the whole site into a zip with index.html
at its root, as game portals take it. Two builds of one commit give the same
zip: the entries come in the order given, dated EPOCH (UTC) and readable by
all, with no owner or extra fields.

Usage: package_site.py SITE ZIP EPOCH SW_TEMPLATE FILE...
  FILE: the site's files besides sw.js, by name in SITE; EPOCH may be empty.
"""

import hashlib
import json
import os
import sys
import time
import zipfile


def main():
    site, archive, epoch, template = sys.argv[1:5]
    files = sys.argv[5:]
    with open(template, encoding='utf-8') as f:
        worker = f.read()
    digest = hashlib.sha256(worker.encode())
    for name in files:
        with open(os.path.join(site, name), 'rb') as f:
            digest.update(name.encode() + b'\0' + f.read())
    kept = ['./'] + files
    worker = (worker.replace('@ZORBEL_SITE_HASH@', digest.hexdigest()[:16])
              .replace('@ZORBEL_SITE_FILES@', ', '.join(json.dumps(name) for name in kept)))
    with open(os.path.join(site, 'sw.js'), 'w', encoding='utf-8') as f:
        f.write(worker)

    # Zip dates are local times of day, from 1980 on; these are UTC.
    date = time.gmtime(int(epoch) if epoch else time.time())[:6]
    date = max(date, (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(archive + '.part', 'w') as out:
        for name in files + ['sw.js']:
            entry = zipfile.ZipInfo(name, date)
            entry.create_system = 3  # Unix, so that the mode below is read
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(site, name), 'rb') as f:
                out.writestr(entry, f.read(), compresslevel=9)
    os.replace(archive + '.part', archive)
    with open(archive, 'rb') as f:
        print(f'-- SHA-256 {hashlib.sha256(f.read()).hexdigest()}  {os.path.basename(archive)}')


if __name__ == '__main__':
    main()
