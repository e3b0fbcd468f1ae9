#!/usr/bin/env python3
"""Build data/rwdb.txt, the spinner's synonym file.

Usage: make_rwdb.py [WORDNET_DIR] [OUTPUT]
Defaults: /usr/share/wordnet and data/rwdb.txt in this repository.

Sources, all Debian packages (install them to rebuild):
  wordnet-base  WordNet 3.0: synsets, SemCor tag counts, exception lists
  mythes-en-us  the LibreOffice English thesaurus (/usr/share/mythes)
  scowl         SCOWL word lists by commonness (/usr/share/dict/scowl)
The file is written in two parts: the lines of rwdb_groups.txt in
their order (phrases that stay themselves and hand-read groups), then
groups taken from WordNet alone with common members only (SCOWL size 50
or less) and three or more terms, since a pair offers one choice and
every variant would make the same swap. Words listed in rwdb_exclude.txt
are left out of the last part; its [never] words out of every group and
its [names] words (months, days, names) out of every line; its [bold
exclude] words out of the bold WordNet groups only.

After these careful lines come the bold ones, which a rewrite uses only
when asked (tandrel-cli rewrite --bold, the window's "Bold"): the
[bold] lines of rwdb_groups.txt, then WordNet groups built with the
looser filters of BOLD_FILTERS (rarer senses, pairs too). Each bold line
is put just before the first careful line holding one of its terms or
words, and after every careful phrase that guards one of them, inside
"{Tier: bold}" ... "{Tier: careful}" lines; a reader that knows no tiers
takes those for groups of one capitalised term, which never match. The
careful lines alone are the file as it was before tiers.

The spinner swaps any member of a line for any other member, blind to
part of speech and word sense, so every filter below errs on the side
of leaving a word out. Same input, same output, byte for byte.
"""

import heapq
import os
import re
import sys
from collections import defaultdict

POS_NAMES = {"n": "noun", "v": "verb", "a": "adj", "r": "adv"}
SS_TYPE_NUM = {"n": 1, "v": 2, "a": 3, "r": 4, "s": 5}

# SemCor tags a member needs in its synset: untagged lemmas are mostly
# rare, dated or technical.
MIN_COUNT = {"a": 1, "r": 1, "v": 1, "n": 1}
# A member far rarer than the group's leading word is usually dated or
# slangy ("die" / "croak").
MIN_SHARE_OF_HEAD = 0.03
MAX_HEAD_SHARE_NEED = 3
# Phrases need more: phrasal verbs and adverbial phrases often fit only
# some of the slots their one-word synonym fills.
MIN_PHRASE_COUNT = {"a": 3, "r": 4, "v": 4, "n": 2}
# Share of all of a lemma's tags (every part of speech) that must fall
# in the group's synset, so the word nearly always means what the group
# means wherever the spinner meets it.
MIN_SENSE_SHARE = {"a": 0.4, "r": 0.4, "v": 0.4, "n": 0.4}
# Share of a lemma's tags that may belong to another part of speech
# before its bare form is left out ("use" the noun vs "use" the verb).
MAX_OTHER_POS = {"a": 0.15, "r": 0.15, "v": 0.1, "n": 0.1}
# A middle word of a longer term could itself be spun by a later line.
MAX_WORDS = 2
# The matched term is never offered, so a WordNet pair would give every
# variant the same swap.
MIN_AUTO_TERMS = 3
VERB_PREFIXES = {"over", "under", "out", "re", "mis", "un", "fore", "with",
                 "up", "be", "off", "in"}
HARD_CH = ("monarch", "patriarch", "matriarch", "oligarch", "hierarch",
           "stomach", "epoch", "eunuch", "loch", "tech")
NOT_MAN_MEN = {"human", "german", "roman", "shaman", "talisman", "caiman",
               "cayman", "ottoman", "doberman", "walkman"}
# Lexicographer files of mostly countable nouns, which get plural lines:
# animal, artifact, body, communication, event, group, location, object,
# person, plant.
COUNT_NOUN_FILES = {5, 6, 8, 10, 11, 14, 15, 17, 18, 20}

FUNCTION_WORDS = set("""
a an the this that these those
i me my mine myself we us our ours ourselves you your yours yourself
yourselves he him his himself she her hers herself it its itself they
them their theirs themselves one ones oneself who whom whose which what
whatever whoever whichever whatsoever somebody someone something
anybody anyone anything nobody nothing everybody everyone everything
nowhere somewhere anywhere everywhere
about above across after against along amid among around at before
behind below beneath beside besides between beyond but by despite down
during except for from in inside into like near of off on onto out
outside over past per since through throughout till to toward towards
under underneath unlike until unto up upon via with within without
and or nor yet so because although though unless whereas whether while
whilst if lest once
be is are was were been being am have has had having do does did done
doing will would shall should can could may might must ought need dare
used get got gotten make made
all some any many much more most few fewer fewest less least each every
other others another such own same both either neither several enough
certain various whole half
not no yes very so too also just only then than now here there when
where why how still even well up down out off over back again ever
never always already quite rather however else further otherwise
instead anyway anyhow somehow altogether
zero one two three four five six seven eight nine ten eleven twelve
thirteen fourteen fifteen sixteen seventeen eighteen nineteen twenty
thirty forty fifty sixty seventy eighty ninety hundred thousand million
billion trillion first second third fourth fifth sixth seventh eighth
ninth tenth twice thrice dozen
concerning regarding including following according considering given
provided excluding barring pending touching
""".split())

# Vulgar, slurs, or words whose everyday sense has moved away from the
# synset WordNet files them under.
BLOCKED = set("""
fuck fucking fucked shit shitty piss pissed ass arse asshole bitch bastard
crap damn damned goddamn bloody bugger cock dick prick pussy cunt tit tits
whore slut screw screwed balls nigger negro nigga spic kike chink wop
gay queer fag faggot dyke homo retard retarded cripple idiot moron
imbecile midget spastic lunatic
""".split())

TERM_RE = re.compile(r"^[a-z]+(?:-[a-z]+)?(?: [a-z]+(?:-[a-z]+)?)?$")

# base, past, past participle of irregular verbs; only those whose two
# past forms agree can join a past-tense group.
IRREGULAR_VERBS = """
arise arose arisen awake awoke awoken bear bore borne beat beat beaten
become became become begin began begun bend bent bent bet bet bet
bind bound bound bite bit bitten bleed bled bled blow blew blown
break broke broken breed bred bred bring brought brought build built built
burn burned burned burst burst burst buy bought bought cast cast cast
catch caught caught choose chose chosen cling clung clung come came come
cost cost cost creep crept crept cut cut cut deal dealt dealt dig dug dug
dive dove dived draw drew drawn dream dreamed dreamed drink drank drunk
drive drove driven eat ate eaten fall fell fallen feed fed fed
feel felt felt fight fought fought find found found flee fled fled
fling flung flung fly flew flown forbid forbade forbidden
forget forgot forgotten forgive forgave forgiven freeze froze frozen
give gave given go went gone grind ground ground grow grew grown
hang hung hung hear heard heard hide hid hidden hit hit hit
hold held held hurt hurt hurt keep kept kept kneel knelt knelt
know knew known lay laid laid lead led led lean leaned leaned
leap leaped leaped learn learned learned leave left left lend lent lent
let let let lie lay lain light lit lit lose lost lost mean meant meant
meet met met pay paid paid prove proved proven put put put quit quit quit
read read read ride rode ridden ring rang rung rise rose risen run ran run
say said said see saw seen seek sought sought sell sold sold
send sent sent set set set sew sewed sewn shake shook shaken
shed shed shed shine shone shone shoot shot shot show showed shown
shrink shrank shrunk shut shut shut sing sang sung sink sank sunk
sit sat sat sleep slept slept slide slid slid sling slung slung
slit slit slit speak spoke spoken speed sped sped spend spent spent
spin spun spun spit spat spat split split split spread spread spread
spring sprang sprung stand stood stood steal stole stolen stick stuck stuck
sting stung stung stink stank stunk stride strode stridden
strike struck struck string strung strung strive strove striven
swear swore sworn sweep swept swept swell swelled swollen swim swam swum
swing swung swung take took taken teach taught taught tear tore torn
tell told told think thought thought throw threw thrown thrust thrust thrust
tread trod trodden understand understood understood wake woke woken
wear wore worn weave wove woven weep wept wept win won won wind wound wound
wring wrung wrung write wrote written
""".split()
IRREGULAR = {IRREGULAR_VERBS[i]: (IRREGULAR_VERBS[i + 1], IRREGULAR_VERBS[i + 2])
             for i in range(0, len(IRREGULAR_VERBS), 3)}


def read_lines(path):
    with open(path, encoding="latin-1") as f:
        for line in f:
            if not line.startswith("  "):
                yield line.rstrip("\n")


class Synset:
    __slots__ = ("offset", "pos", "ss_type", "lexfile", "words", "ptrs")

    def __init__(self, offset, pos, ss_type, lexfile):
        self.offset = offset
        self.pos = pos          # n v a r (satellites folded into a)
        self.ss_type = ss_type  # n v a s r
        self.lexfile = lexfile
        self.words = []         # (lemma as written, marker, lex_id)
        self.ptrs = []          # (symbol, offset, pos, source, target word no.)


def load_data(wndir, pos):
    synsets = {}
    for line in read_lines(os.path.join(wndir, "data." + POS_NAMES[pos])):
        fields = line.split(" | ", 1)[0].split()
        offset, lexfile, ss_type = fields[0], int(fields[1]), fields[2]
        ss = Synset(offset, pos, ss_type, lexfile)
        w_cnt = int(fields[3], 16)
        i = 4
        for _ in range(w_cnt):
            word, lex_id = fields[i], int(fields[i + 1], 16)
            marker = ""
            m = re.match(r"^(.*)\((a|p|ip)\)$", word)
            if m:
                word, marker = m.group(1), m.group(2)
            ss.words.append((word, marker, lex_id))
            i += 2
        p_cnt = int(fields[i])
        i += 1
        for _ in range(p_cnt):
            sym, off, ppos, st = fields[i:i + 4]
            ss.ptrs.append((sym, off, "a" if ppos == "s" else ppos,
                            int(st[:2], 16), int(st[2:], 16)))
            i += 4
        synsets[offset] = ss
    return synsets


def load_index(wndir, pos):
    """lemma -> synset offsets, most frequent sense first."""
    senses = {}
    for line in read_lines(os.path.join(wndir, "index." + POS_NAMES[pos])):
        f = line.split()
        synset_cnt, p_cnt = int(f[2]), int(f[3])
        senses[f[0]] = f[6 + p_cnt:6 + p_cnt + synset_cnt]
    return senses


def load_counts(wndir):
    counts = {}
    for line in read_lines(os.path.join(wndir, "cntlist.rev")):
        key, _sense_no, tag_cnt = line.split()
        counts[key] = int(tag_cnt)
    return counts


def load_exceptions(wndir):
    """inflected form -> set of (pos, base)"""
    exc = defaultdict(set)
    base_forms = defaultdict(set)
    for pos in "nvar":
        for line in read_lines(os.path.join(wndir, POS_NAMES[pos] + ".exc")):
            f = line.split()
            for base in f[1:]:
                exc[f[0]].add((pos, base))
                base_forms[(pos, base)].add(f[0])
    return exc, base_forms


class WordNet:
    def __init__(self, wndir):
        self.synsets = {}
        self.index = {}
        for pos in "nvar":
            self.synsets[pos] = load_data(wndir, pos)
            self.index[pos] = load_index(wndir, pos)
        self.counts = load_counts(wndir)
        self.exc, self.exc_by_base = load_exceptions(wndir)
        self._tag = {}
        for pos in "nvar":
            for ss in self.synsets[pos].values():
                for n, (word, _m, _l) in enumerate(ss.words):
                    self._tag[(pos, ss.offset, word.lower())] = \
                        self.sense_count(ss, n)
        # lemma -> total tags over every part of speech and sense
        self.total = defaultdict(int)
        for (pos, _off, lemma), c in self._tag.items():
            self.total[lemma] += c

    def sense_key(self, ss, n):
        word, _marker, lex_id = ss.words[n]
        head = ""
        if ss.ss_type == "s":
            for sym, off, ppos, _src, _tgt in ss.ptrs:
                if sym == "&" and ppos == "a":
                    h = self.synsets["a"][off]
                    hw, hm, hid = h.words[0]
                    head = "%s:%02d" % (hw.lower(), hid)
                    break
        return "%s%%%d:%02d:%02d:%s" % (word.lower(), SS_TYPE_NUM[ss.ss_type],
                                        ss.lexfile, lex_id, head or ":")

    def sense_count(self, ss, n):
        key = self.sense_key(ss, n)
        if key in self.counts or ss.ss_type != "s":
            return self.counts.get(key, 0)
        # cntlist.rev sometimes keeps the head word's (a)/(p) marker
        for sym, off, ppos, _src, _tgt in ss.ptrs:
            if sym == "&" and ppos == "a":
                hw, hm, hid = self.synsets["a"][off].words[0]
                if hm:
                    key = key.replace(":%s:" % hw.lower(),
                                      ":%s(%s):" % (hw.lower(), hm), 1)
                return self.counts.get(key, 0)
        return 0

    def tags(self, pos, offset, lemma):
        return self._tag.get((pos, offset, lemma), 0)

    def pos_total(self, pos, lemma):
        return sum(self.tags(pos, off, lemma)
                   for off in self.index[pos].get(lemma, ()))


def domain_label(ss, n):
    """Usage (slang, archaic, offensive, ...) or region label on the word."""
    return any(sym in (";u", ";r") and src in (0, n + 1)
               for sym, _off, _pos, src, _tgt in ss.ptrs)


def regular_plural(word):
    if re.search(r"(s|x|z|ch|sh|[^aeiou]o)$", word):
        return word + "es"
    if re.search(r"[^aeiou]y$", word):
        return word[:-1] + "ies"
    return word + "s"


def noun_plural(word):
    if word.endswith("man") and word not in NOT_MAN_MEN:
        return word[:-3] + "men"
    if word.endswith(HARD_CH):
        return word + "s"
    return regular_plural(word)


def regular_ed(base):
    if base.endswith("e"):
        return base + "d"
    if re.search(r"[^aeiou]y$", base):
        return base[:-1] + "ied"
    return base + "ed"


def regular_ing(base):
    if re.search(r"(ee|ye|oe)$", base):
        return base + "ing"
    if base.endswith("ie"):
        return base[:-2] + "ying"
    if re.search(r"[^aeiou]e$", base) or base.endswith("ue"):
        return base[:-1] + "ing"
    return base + "ing"


def verb_forms(wn, base):
    """{'s', 'ed', 'ing'} forms of a one-word verb; a form that can't be
    derived reliably is left out ('ed' stands for past tense and past
    participle alike, so verbs where the two differ have none)."""
    exc = wn.exc_by_base.get(("v", base), set())
    doubled = base + base[-1]
    forms = {}
    ing = sorted(f for f in exc if f.endswith("ing"))
    if len(ing) == 1:
        forms["ing"] = ing[0]
    elif not ing:
        forms["ing"] = regular_ing(base)
    s_exc = sorted(f for f in exc if f.endswith("s") and not f.endswith("ss"))
    if len(s_exc) == 1:
        forms["s"] = s_exc[0]
    elif not s_exc:
        forms["s"] = regular_plural(base)
    past = sorted(f for f in exc if f not in ing and f not in s_exc)
    irregular = [v for v in IRREGULAR if base.endswith(v)]
    if irregular:
        v = max(irregular, key=len)
        prefix = base[:len(base) - len(v)]
        p, pp = IRREGULAR[v]
        if p == pp and (not prefix or prefix + p in exc or p == v + "ed"
                        or p == regular_ed(v)):
            forms["ed"] = prefix + p
        elif not prefix or past or prefix in VERB_PREFIXES:
            return forms  # "overeat" is as irregular as "eat"
    if "ed" in forms:
        return forms
    if not past:
        forms["ed"] = regular_ed(base)
    elif past == [doubled + "ed"]:
        forms["ed"] = past[0]
    return forms


def tagged_lemma(wn, form):
    return wn.total.get(form, 0) > 0


def other_bases(wn, form, base):
    return {b for _p, b in wn.exc.get(form, ()) if b != base}


def is_inflection_of_other(wn, term):
    """The term is also an inflected form of another common word ("left"
    of leave, "found" of find, "glasses" of glass)."""
    if any(tagged_lemma(wn, b) for b in other_bases(wn, term, term)):
        return True
    if " " in term or "-" in term:
        return False
    own = wn.total.get(term, 0)
    cands = set()
    if term.endswith("s"):
        cands |= {term[:-1], term[:-2], term[:-3] + "y"}
    if term.endswith("ed"):
        cands |= {term[:-1], term[:-2], term[:-3] + "y", term[:-3]}
    if term.endswith("ing"):
        cands |= {term[:-3], term[:-3] + "e", term[:-4], term[:-4] + "ie"}
    comparative = set()
    if term.endswith("er"):
        comparative |= {term[:-2], term[:-1], term[:-3], term[:-3] + "y"}
    if term.endswith("est"):
        comparative |= {term[:-3], term[:-2], term[:-4], term[:-4] + "y"}
    cands |= comparative
    for base in sorted(cands):
        if len(base) < 2 or base == term or not tagged_lemma(wn, base):
            continue
        hit = False
        if base in comparative:
            # "older" of old, "later" of late
            hit = base in wn.index["a"] or base in wn.index["r"]
        elif term.endswith("s"):
            hit = term == regular_plural(base) and (
                base in wn.index["n"] or base in wn.index["v"])
        elif base in wn.index["v"]:
            hit = term in verb_forms(wn, base).values()
        if hit and wn.total[base] * 2 >= own:
            return True
    return False


def term_ok(term):
    if len(term) < 3 or not TERM_RE.match(term) or term in FUNCTION_WORDS:
        return False
    words = term.split(" ")
    if any(w in BLOCKED for w in words) or words[0] in ("a", "an", "the"):
        return False
    return len(words) <= MAX_WORDS and not all(
        w in FUNCTION_WORDS or len(w) < 3 for w in words)


def variant_key(term):
    """Spelling variants (color/colour, realise/realize, fulfil/fulfill)
    give no variety, and the rarer one mixes dialects."""
    k = re.sub(r"[- ]", "", term)
    k = re.sub(r"(.)\1", r"\1", k)
    k = k.replace("our", "or").replace("ae", "e").replace("oe", "e")
    k = re.sub(r"is(e|ed|es|ing|ation)$", r"iz\1", k)
    return re.sub(r"re$", "er", k)


class Member:
    __slots__ = ("lemma", "term", "count", "pos", "marker")

    def __init__(self, lemma, term, count, pos, marker):
        self.lemma, self.term, self.count = lemma, term, count
        self.pos, self.marker = pos, marker


def dominant_senses(wn):
    """lemma -> (pos, offset) of the synset holding most of the lemma's
    tags, if that is a large enough share to be what the word means in
    running text."""
    best = {}
    for pos in "nvar":
        for off in sorted(wn.synsets[pos]):
            for word, _m, _l in wn.synsets[pos][off].words:
                lemma = word.lower()
                c = wn.tags(pos, off, lemma)
                if c and (lemma not in best or c > best[lemma][0]):
                    best[lemma] = (c, pos, off)
    return {lemma: (pos, off) for lemma, (c, pos, off) in best.items()
            if c >= MIN_SENSE_SHARE[pos] * wn.total[lemma]}


def read_sections(path, first):
    """(section, line) for each line of a hand-written list, skipping
    blank lines and comments; a "[name]" line starts a section, the
    first one being named first."""
    name = first
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                name = line[1:-1]
            else:
                yield name, line


def load_exclusions(path):
    """{section: set of lemmas}, [exclude] first"""
    sections = defaultdict(set)
    if os.path.exists(path):
        for name, line in read_sections(path, "exclude"):
            sections[name].add(line)
    return sections


def synonym_groups(wn, excluded=frozenset()):
    """Synsets cut down to the members for which the synset is the
    dominant sense; since a lemma has one dominant sense, groups are
    disjoint."""
    dominant = dominant_senses(wn)
    groups = []
    for pos in "arvn":
        for off in sorted(wn.synsets[pos]):
            ss = wn.synsets[pos][off]
            members = []
            for n, (word, marker, _l) in enumerate(ss.words):
                lemma = word.lower()
                if word != lemma or dominant.get(lemma) != (pos, off):
                    continue  # proper name, or not what the word usually means
                c = wn.tags(pos, off, lemma)
                term = lemma.replace("_", " ")
                need = MIN_PHRASE_COUNT[pos] if " " in term else MIN_COUNT[pos]
                if c < need or domain_label(ss, n) or not TERM_RE.match(term) \
                        or term in excluded or term in FUNCTION_WORDS \
                        or any(w in BLOCKED for w in term.split(" ")):
                    continue
                members.append(Member(lemma, term, c, pos, marker))
            members.sort(key=lambda m: (-m.count, m.term))
            if members:
                need = min(MIN_SHARE_OF_HEAD * members[0].count,
                           MAX_HEAD_SHARE_NEED)
                members = [m for m in members if m.count >= need]
            # attributive-only or predicative-only adjectives cannot stand
            # in for an unrestricted one
            if members:
                members = [m for m in members if m.marker == members[0].marker]
            kept, keys = [], set()
            for m in members:
                words = m.term.split(" ")
                if variant_key(m.term) in keys:
                    continue
                # "spin around" next to "spin" adds nothing but a particle
                if len(words) > 1 and any(k.term in words for k in kept):
                    continue
                keys.add(variant_key(m.term))
                kept.append(m)
            if len(kept) >= 2:
                groups.append((pos, ss, kept))
    return groups


def other_pos_share(wn, lemma, pos, other):
    total = wn.total[lemma]
    return sum(wn.pos_total(p, lemma) for p in other) / total if total else 1


def form_taken_elsewhere(wn, form, base, allow_participle=False):
    """A derived form that is also its own common word ("building" the
    noun, "left" the side) would be spun in the wrong sense."""
    if form in FUNCTION_WORDS or other_bases(wn, form, base) & set(wn.total):
        return True
    if not tagged_lemma(wn, form):
        return False
    if not allow_participle:
        return True
    if wn.pos_total("n", form) or wn.pos_total("v", form):
        return True
    # an adjective is fine when WordNet derives it from this verb
    base_verbs = set(wn.index["v"].get(base, ()))
    for pos in "ar":
        for off in wn.index[pos].get(form, ()):
            if not any(p[1] in base_verbs for p in wn.synsets[pos][off].ptrs
                       if p[0] in ("<", "+")):
                if wn.tags(pos, off, form):
                    return True
    return False


def base_line(wn, pos, members):
    other = {"n": "v", "v": "na", "a": "nvr", "r": "na"}[pos]
    return [m.term for m in members
            if term_ok(m.term)
            and other_pos_share(wn, m.lemma, pos, other) <= MAX_OTHER_POS[pos]
            and not is_inflection_of_other(wn, m.term)]


def verb_lines(wn, members):
    lines = []
    for kind in ("ed", "ing", "s"):
        terms = []
        for m in members:
            words = m.term.split(" ")
            f = verb_forms(wn, words[0]).get(kind)
            if not f or form_taken_elsewhere(wn, f, words[0], kind == "ed"):
                continue
            # "purchases" is also the noun's plural
            if kind == "s" and other_pos_share(wn, m.lemma, "v", "n") > \
                    MAX_OTHER_POS["v"]:
                continue
            form = " ".join([f] + words[1:])
            if term_ok(form):
                terms.append(form)
        lines.append(terms)
    return lines


def plural_line(wn, ss, members, no_plural):
    if ss.lexfile not in COUNT_NOUN_FILES:
        return []
    terms = []
    for m in members:
        words = m.term.split(" ")
        last = words[-1]
        if not term_ok(m.term) or m.term in no_plural or last.endswith("ing"):
            continue  # "dawnings", "luggages"
        if last in FUNCTION_WORDS or last not in wn.index["n"] or \
                last.endswith("o"):
            continue  # "way out", "potato"/"photo"
        irregular = sorted(wn.exc_by_base.get(("n", last), ()))
        if (last.endswith("s") and not last.endswith(("ss", "us"))) \
                or wn.exc.get(last):
            continue  # already plural ("troops") or ambiguous
        f = irregular[0] if len(irregular) == 1 else (
            None if irregular else noun_plural(last))
        if not f or form_taken_elsewhere(wn, f, last):
            continue
        if other_pos_share(wn, m.lemma, "n", "v") > MAX_OTHER_POS["n"]:
            continue
        form = " ".join(words[:-1] + [f])
        if term_ok(form):
            terms.append(form)
    return terms


def adverb_index(wn):
    """(adjective synset, word no.) -> adverbs WordNet derives from it"""
    derived = defaultdict(list)
    for off in sorted(wn.synsets["r"]):
        ss = wn.synsets["r"][off]
        for sym, aoff, apos, src, tgt in ss.ptrs:
            if sym == "\\" and apos == "a" and src:
                derived[(aoff, tgt)].append((off, ss.words[src - 1][0]))
    return derived


def adverb_line(wn, ss, members, kept, derived, dominant, excluded):
    """"bravely|courageously" from "brave|courageous": the -ly adverbs
    WordNet derives from the members keep their shared meaning."""
    terms = []
    for m in members:
        if m.term not in kept:
            continue
        n = next(i for i, w in enumerate(ss.words) if w[0].lower() == m.lemma)
        for off, word in derived.get((ss.offset, n + 1), ()):
            term = word.replace("_", " ")
            if word != word.lower() or not term_ok(term) or term in excluded:
                continue
            # the adverb must mostly mean this, or be untagged and have
            # this single sense
            if wn.total.get(word, 0):
                if dominant.get(word) != ("r", off):
                    continue
            elif len(wn.index["r"].get(word, ())) != 1 or any(
                    word in wn.index[p] for p in "nva"):
                continue
            terms.append(term)
    return terms


def build_lines(wn, lists):
    excluded, no_plural = lists["exclude"], lists["no plural"]
    lines = []
    derived = adverb_index(wn)
    dominant = dominant_senses(wn)
    for pos, ss, members in synonym_groups(wn, excluded):
        lines.append(base_line(wn, pos, members))
        if pos == "a":
            lines.append(adverb_line(wn, ss, members, set(lines[-1]), derived,
                                     dominant, excluded))
        if pos == "v":
            lines.extend(verb_lines(wn, members))
        elif pos == "n":
            lines.append(plural_line(wn, ss, members, no_plural))
    seen = set()
    final = []
    for terms in lines:
        terms = [t for t in terms if t not in seen]
        if len(terms) >= 2:
            seen.update(terms)
            # within a line too, "manor house" must go before "manor"
            final.append(sorted(terms, key=lambda t: " " not in t))
    return order_lines(final)


def order_lines(lines):
    """A line holding a multi-word term goes before any line holding one
    of its words: the spinner works line by line and would otherwise
    break "manor houses" apart at "manor"."""
    where = {t: i for i, terms in enumerate(lines) for t in terms}
    after = defaultdict(set)  # i -> lines that must come after line i
    indegree = [0] * len(lines)
    for i, terms in enumerate(lines):
        for t in terms:
            for w in t.split(" ") if " " in t else ():
                j = where.get(w)
                if j is not None and j != i and j not in after[i]:
                    after[i].add(j)
                    indegree[j] += 1
    ready = [i for i in range(len(lines)) if not indegree[i]]
    heapq.heapify(ready)
    order = []
    while ready:
        i = heapq.heappop(ready)
        order.append(i)
        for j in sorted(after[i]):
            indegree[j] -= 1
            if not indegree[j]:
                heapq.heappush(ready, j)
    placed = set(order)
    order += [i for i in range(len(lines)) if i not in placed]  # cycles
    return [lines[i] for i in order]


SCOWL_DIR = "/usr/share/dict/scowl"
MYTHES_DAT = "/usr/share/mythes/th_en_US_v2.dat"
# SCOWL sizes: 10 to 35 hold the words of a small dictionary, 50 a
# medium one; 60 and up are rare, dated or technical.
MAX_SCOWL_SIZE = 50
# Words spelt with a vowel but said with a consonant, and the reverse:
# what "a" or "an" in front of them needs.
CONSONANT_SOUND = ("one", "once", "use", "usu", "uni", "eu", "ewe", "uti",
                   "ura", "ure", "uro")
# Terms never written after "a"/"an", whatever their first sound.
NOT_AFTER_A = {"advice", "guidance", "several", "wound up", "meanwhile", "despite",
               "individuals", "beforehand", "a person", "explaining", "explained", "using"}
VOWEL_SOUND = ("hour", "honest", "honor", "honour", "heir")


def load_scowl(folder):
    """word -> smallest SCOWL size that lists it"""
    size = {}
    for name in sorted(os.listdir(folder)):
        m = re.match(r"^(english|american)-words\.(\d+)$", name)
        if not m:
            continue
        with open(os.path.join(folder, name), encoding="latin-1") as f:
            for word in f:
                word = word.strip().lower()
                if word and int(m.group(2)) < size.get(word, 999):
                    size[word] = int(m.group(2))
    return size


def load_mythes(path):
    """term -> every term one of its entries lists"""
    syn = defaultdict(set)
    with open(path, encoding="utf-8") as f:
        f.readline()
        head = None
        for line in f:
            line = line.rstrip("\n")
            if not line.startswith("("):
                head = line.split("|", 1)[0].lower()
                continue
            for term in line.split("|")[1:]:
                term = re.sub(r" \((generic|related|similar) term\)$", "", term)
                syn[head].add(term.lower())
    return syn


def load_hand(path):
    """[(section, terms)] of rwdb_groups.txt, in file order: a phrase kept
    as itself must sometimes come after a longer group holding it"""
    return [(name, line.split("|")) for name, line in read_sections(path, "groups")]


def article_class(term):
    """"an" for a term said with a vowel first, else "a"."""
    if term.startswith(VOWEL_SOUND):
        return "an"
    if term.startswith(CONSONANT_SOUND):
        return "a"
    return "an" if term[0] in "aeiou" else "a"


def base_forms(wn, term):
    """The term and the WordNet lemmas it may be an inflection of."""
    words = term.split(" ")
    head, rest = words[0], words[1:]
    bases = {head}
    bases |= {b for _p, b in wn.exc.get(head, ())}
    for suffix, repl in (("s", ""), ("es", ""), ("ies", "y"), ("ed", ""),
                         ("ed", "e"), ("ied", "y"), ("ing", ""), ("ing", "e"),
                         ("er", ""), ("est", ""), ("er", "e"), ("est", "e")):
        if head.endswith(suffix):
            bases.add(head[:-len(suffix)] + repl)
    return {" ".join([b] + rest) for b in bases}


def attested(wn, mythes, a, b):
    """WordNet holds a and b in one synset, or mythes lists one under
    the other (after taking off inflections)."""
    for x in base_forms(wn, a):
        for y in base_forms(wn, b):
            if y in mythes.get(x, ()) or x in mythes.get(y, ()):
                return True
            kx, ky = x.replace(" ", "_"), y.replace(" ", "_")
            for pos in "nvar":
                if set(wn.index[pos].get(kx, ())) & set(wn.index[pos].get(ky, ())):
                    return True
    return False


def hand_lines(wn, mythes, hand, never, names):
    """The lines of rwdb_groups.txt, checked; problems are fatal except
    pairs no thesaurus lists, which are reported."""
    lines, problems, unlisted = [], [], []
    seen = {}
    for section, terms in hand:
        if section not in ("protect", "groups", "forms", "bold"):
            problems.append("unknown section [%s]" % section)
        if section == "protect":
            if len(terms) != 1:
                problems.append("protect line with a '|': " + "|".join(terms))
        elif len(terms) < 2:
            problems.append("group of one term: " + terms[0])
        for t in terms:
            if t != t.lower() or not t or t != t.strip() or "{" in t or "}" in t:
                problems.append("bad term %r" % t)
            if t in seen and section != "bold":
                problems.append("%r stands in two lines" % t)
            seen[t] = len(lines)
            words = t.split(" ")
            if section != "protect" and any(w in never for w in words):
                problems.append("%r holds a word of [never]" % t)
            if any(w in names for w in words):
                problems.append("%r holds a word of [names]" % t)
            # a line that holds a word or a shorter phrase of this one
            # would split it
            for i, j in ((i, j) for i in range(len(words))
                         for j in range(i + 1, len(words) + 1) if j - i < len(words)):
                part = " ".join(words[i:j])
                if part in seen and seen[part] < len(lines):
                    problems.append("%r comes after the line of %r" % (t, part))
        if section in ("groups", "bold"):
            classes = {article_class(t) for t in terms}
            # only a noun or adjective in its bare form follows "a"
            if len(classes) > 1 and any(
                    t.replace(" ", "_") in wn.index[p]
                    for t in terms for p in "na") \
                    and not set(terms) & NOT_AFTER_A:
                problems.append("a/an mix: " + "|".join(terms))
            for x in range(1, len(terms)):
                if not attested(wn, mythes, terms[0], terms[x]):
                    unlisted.append("%s|%s" % (terms[0], terms[x]))
        lines.append(list(terms))
    if problems:
        sys.exit("rwdb_groups.txt:\n  " + "\n  ".join(problems))
    return lines, unlisted


def common_enough(scowl, term):
    return all(scowl.get(w, 999) <= MAX_SCOWL_SIZE for w in re.split(r"[ -]", term))


def wordnet_lines(wn, lists, scowl, taken):
    """The automatic part: only common members, none taken by the hand
    part, and one article class per line."""
    never = lists["never"] | lists["names"]
    lines = []
    for terms in build_lines(wn, lists):
        terms = [t for t in terms if t not in taken and common_enough(scowl, t)
                 and not any(w in never for w in t.split(" "))]
        if terms:
            cls = article_class(terms[0])
            terms = [t for t in terms if article_class(t) == cls]
        # a word the hand part groups must not break up a phrase here
        terms = [t for t in terms if " " not in t
                 or not any(w in taken for w in t.split(" "))]
        if len(terms) >= MIN_AUTO_TERMS:
            lines.append(terms)
    return lines


# Looser than the careful filters: a word's main sense may hold a quarter
# of its uses, members may be rarer, and a pair is a group.
BOLD_FILTERS = {
    "MIN_SENSE_SHARE": {"a": 0.25, "r": 0.25, "v": 0.25, "n": 0.3},
    "MAX_OTHER_POS": {"a": 0.3, "r": 0.3, "v": 0.2, "n": 0.2},
    "MIN_SHARE_OF_HEAD": 0.02,
    "MIN_PHRASE_COUNT": {"a": 2, "r": 2, "v": 2, "n": 2},
    "MIN_AUTO_TERMS": 2,
    "MAX_SCOWL_SIZE": 50,
}
BOLD_TIER, CAREFUL_TIER = "{Tier: bold}", "{Tier: careful}"


def with_filters(filters, work):
    """work() with the module's filter settings replaced for the call"""
    saved = {k: globals()[k] for k in filters}
    globals().update(filters)
    try:
        return work()
    finally:
        globals().update(saved)


def phrase_parts(term):
    """every run of words of a term shorter than the term"""
    w = term.split(" ")
    return {" ".join(w[i:j]) for i in range(len(w)) for j in range(i + 1, len(w) + 1)
            if j - i < len(w)}


def place_bold(careful, bold):
    """The careful lines with each bold line just before the first careful
    line that holds one of its terms or a word of one, provided every careful
    line whose phrase guards one of its terms comes before that; bold lines
    that cannot be placed so are returned apart."""
    where = defaultdict(list)  # term -> careful lines holding it
    for i, terms in enumerate(careful):
        for t in terms:
            where[t].append(i)
    phrases = [(i, terms[0]) for i, terms in enumerate(careful) if len(terms) == 1]
    multi = [(i, t) for i, terms in enumerate(careful) for t in terms
             if " " in t and len(terms) > 1]
    slots = defaultdict(list)
    dropped = []
    for terms in bold:
        if any(set(terms) <= set(line) for line in careful):
            continue  # nothing a careful line does not offer already
        before = [i for t in terms for part in phrase_parts(t) | {t} for i in where.get(part, ())]
        at = min(before) if before else len(careful)
        # kept-as-themselves phrases that guard a term, and careful phrases holding one
        after = [i for i, p in phrases if p not in terms and any(guards(p, t) for t in terms)]
        after += [i for i, p in multi if p not in terms
                  and any(t in phrase_parts(p) for t in terms)]
        if after and max(after) >= at:
            dropped.append(terms)
            continue
        slots[at].append(terms)
    lines = []
    for i in range(len(careful) + 1):
        if slots[i]:
            # a bold phrase before a bold word it holds
            ordered = order_lines(slots[i])
            lines.append([BOLD_TIER])
            lines.extend(ordered)
            lines.append([CAREFUL_TIER])
        if i < len(careful):
            lines.append(careful[i])
    return lines, dropped


def guards(phrase, term):
    """The phrase, kept as itself, stops the term from matching inside it or
    across its edges."""
    p, t = phrase.split(" "), term.split(" ")
    if any(p[i:i + len(t)] == t for i in range(len(p) - len(t) + 1)):
        return True
    return any(p[-k:] == t[:k] or p[:k] == t[-k:]
               for k in range(1, min(len(p), len(t))))


def without_idle_phrases(lines):
    """One-term lines that guard no term of a later group: they would only
    lose their capital letter and keep their neighbours from being spun
    ("sign up" guards nothing once no group holds "sign")."""
    kept, idle = [], []
    for i, terms in enumerate(lines):
        if len(terms) == 1 and not any(guards(terms[0], t) for later in lines[i + 1:]
                                       if len(later) > 1 for t in later):
            idle.append(terms[0])
        else:
            kept.append(terms)
    return kept, idle


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    wndir = argv[1] if len(argv) > 1 else "/usr/share/wordnet"
    out_path = argv[2] if len(argv) > 2 else os.path.normpath(
        os.path.join(here, os.pardir, "data", "rwdb.txt"))
    for need, package in ((os.path.join(wndir, "cntlist.rev"), "wordnet-base"),
                          (MYTHES_DAT, "mythes-en-us"), (SCOWL_DIR, "scowl")):
        if not os.path.exists(need):
            sys.exit("%s is missing (apt-get install %s)" % (need, package))
    lists = load_exclusions(os.path.join(here, "rwdb_exclude.txt"))
    wn = WordNet(wndir)
    all_hand = load_hand(os.path.join(here, "rwdb_groups.txt"))
    hand, unlisted = hand_lines(wn, load_mythes(MYTHES_DAT),
                                [h for h in all_hand if h[0] != "bold"],
                                lists["never"], lists["names"])
    hand_bold, unlisted_bold = hand_lines(wn, load_mythes(MYTHES_DAT),
                                          [h for h in all_hand if h[0] == "bold"],
                                          lists["never"], lists["names"])
    taken = {t for terms in hand for t in terms}
    taken |= {w for terms in hand for t in terms for w in t.split(" ")
              if len(terms) > 1}
    scowl = load_scowl(SCOWL_DIR)
    auto = wordnet_lines(wn, lists, scowl, taken)
    lines, idle = without_idle_phrases(hand + auto)
    # Bold: words of no careful or hand-read bold group, with looser filters.
    bold_taken = taken | {t for terms in auto for t in terms}
    bold_taken |= {t for terms in hand_bold for t in terms}
    bold_taken |= {w for terms in hand_bold for t in terms for w in t.split(" ")}
    bold_lists = defaultdict(set, lists)
    bold_lists["exclude"] = lists["exclude"] | lists["bold exclude"]
    bold_auto = with_filters(BOLD_FILTERS,
                             lambda: wordnet_lines(wn, bold_lists, scowl, bold_taken))
    lines, dropped = place_bold(lines, hand_bold + bold_auto)
    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        for terms in lines:
            f.write(terms[0] + "\n" if terms[0] in (BOLD_TIER, CAREFUL_TIER)
                    else "{" + "|".join(terms) + "}\n")
    bold_count = sum(1 for t in lines if t[0] not in (BOLD_TIER, CAREFUL_TIER)) - (
        len(hand) + len(auto) - len(idle))
    print("%s: %d lines (%d careful: %d hand-read, %d from WordNet; %d bold: %d hand-read, "
          "%d from WordNet), %d terms" % (
              out_path, len(lines), len(hand) + len(auto) - len(idle), len(hand) - len(idle),
              len(auto), bold_count, len(hand_bold), len(bold_auto),
              sum(len(t) for t in lines)))
    if dropped:
        print("bold lines no place suits (%d): %s" % (
            len(dropped), ", ".join("|".join(t) for t in dropped)))
    unlisted += unlisted_bold
    if idle:
        print("phrases left out, guarding nothing (%d): %s" % (len(idle), ", ".join(idle)))
    if unlisted:
        print("pairs no thesaurus lists (%d): %s" % (len(unlisted), ", ".join(unlisted)))


if __name__ == "__main__":
    main(sys.argv)
