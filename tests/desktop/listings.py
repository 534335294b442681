"""Metainfo argv[1]'s homepage, bug tracker, screenshot images with sizes; then the captions
of any screenshot without an English and a different Italian one."""
import sys
import xml.etree.ElementTree as ElementTree

root = ElementTree.parse(sys.argv[1]).getroot()
for kind in ('homepage', 'bugtracker'):
    print(f'{kind}: ' + ' '.join(str(url.text) for url in root.findall(f"url[@type='{kind}']")))
print('screenshot: ' + ' '.join(f"{image.text} {image.get('width')}x{image.get('height')}"
                                for image in root.findall('screenshots/screenshot/image')))
for screenshot in root.findall('screenshots/screenshot'):
    captions = {c.get('{http://www.w3.org/XML/1998/namespace}lang', 'en'): c.text for c in screenshot.findall('caption')}
    if sorted(captions) != ['en', 'it'] or captions['en'] == captions['it']:
        print('captions:', captions)
