"""Every relative link in README.md, CHANGELOG.md and docs/*.md names a file that exists and, after #, one of its headings as GitHub anchors them."""
import pathlib, re, sys, urllib.parse
root, broken = pathlib.Path(__file__).resolve().parents[2], []
text = lambda page: re.sub(r'(?ms)^```.*?^```', '', page.read_text(encoding='utf-8'))  # code blocks hold neither links nor headings
def anchors(page):  # lowercase, punctuation but '-' and '_' dropped, spaces to '-', repeats numbered -1, -2...
    slugs = [re.sub(r'[^\w\- ]', '', h.strip().lower()).replace(' ', '-') for h in re.findall(r'^#{1,6} (.+)$', text(page), re.M)]
    return {s + (f'-{slugs[:i].count(s)}' if slugs[:i].count(s) else '') for i, s in enumerate(slugs)}
pages = [p for p in (root / 'README.md', root / 'CHANGELOG.md', *sorted((root / 'docs').glob('*.md'))) if p.exists()]
for page in pages:
    for target, anchor in re.findall(r'\]\(([^)#\s]*)(?:#([^)\s]*))?\)', text(page)):
        linked = (page.parent / urllib.parse.unquote(target)) if target else page
        if not re.match(r'[a-z]+:', target) and not (linked.exists() and (not anchor or urllib.parse.unquote(anchor) in anchors(linked))):
            broken.append(f'{page.relative_to(root)}: {target}#{anchor}' if anchor else f'{page.relative_to(root)}: {target}')
print(*broken, sep='\n') if broken else print(f'links: every relative link in {len(pages)} pages leads to a file and heading')
sys.exit(1 if broken else 0)
