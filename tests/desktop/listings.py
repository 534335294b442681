"""Prints what an AppStream metainfo file (argv[1]) says of the release
addresses: its homepage and bug tracker <url> entries, and each screenshot's
image address and size; then, if there is a screenshot without a caption in
English and a different one in Italian, the captions it has."""
import sys
import xml.etree.ElementTree as ElementTree

LANG = '{http://www.w3.org/XML/1998/namespace}lang'
root = ElementTree.parse(sys.argv[1]).getroot()
for kind in ('homepage', 'bugtracker'):
    print(f'{kind}: ' + ' '.join(str(url.text) for url in root.findall(f"url[@type='{kind}']")))
print('screenshot: ' + ' '.join(f"{image.text} {image.get('width')}x{image.get('height')}"
                                for image in root.findall('screenshots/screenshot/image')))
for screenshot in root.findall('screenshots/screenshot'):
    captions = {caption.get(LANG, 'en'): caption.text for caption in screenshot.findall('caption')}
    if sorted(captions) != ['en', 'it'] or captions['en'] == captions['it']:
        print('captions:', captions)
