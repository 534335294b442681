// The page's side of the browser build (window/web), inlined into the page:
// the viewport is the window's client area, and the ball, the instruction
// line and the close button are elements placed on it. The pictures are
// files of the site. Pointer events on the ball and clicks on the button go
// back to the program. Before the program has loaded, the page already shows
// the ball where the program starts it.
//
// A viewport smaller than the design's client area in either direction shows
// all of it scaled down, as a display scale does on the desktop: the elements
// sit on a stage laid out in design pixels, and the client area is the
// viewport in those pixels, as tall or as wide as the screen's shape makes it.
var zorbelPage = {
    elements: [], // the ball, the label and the button, in PageElement order
    pointer: null, // the pointer whose press holds the ball
    kinds: { press: 0, move: 1, release: 2, lost: 3 },
    design: { width: 0, height: 0 }, // the client area the design is laid out for
    scale: 1, // CSS pixels per design pixel
    doubleSizeArtAbove: @ZORBEL_DOUBLE_SIZE_ART_ABOVE@, // device pixels per design pixel, as the program has it
    client: { width: 0, height: 0 }, // the client area in design pixels, as of the last fit
    stage: null,
    listeners: [], // what the page listens to on the window and the document
    // The back and forward buttons: the browser would leave the page on them.
    historyButtons: [3, 4],
    // A press the page takes (preventDefault on pointerdown) sends no mouse
    // events, so the pointer events are where the page says no.
    historyEvents: ['pointerdown', 'pointerup', 'mousedown', 'mouseup', 'auxclick'],

    handCursor() {
        return 'url(hand.cur) @ZORBEL_DESIGN_HAND_HOT_SPOT@, pointer';
    },

    // Device pixels per design pixel.
    devicePixelsPerPixel() {
        return window.devicePixelRatio * this.scale;
    },

    // The double-size art where a design pixel covers more than one device pixel.
    art(name, name2x) {
        return this.devicePixelsPerPixel() > this.doubleSizeArtAbove ? name2x : name;
    },

    // Each element is known to the page by its name in the window.
    element(tag, id, width, height, style) {
        const element = document.createElement(tag);
        element.id = id;
        Object.assign(element.style, {
            position: 'absolute', left: '0', top: '0', width: width + 'px', height: height + 'px',
            margin: '0', boxSizing: 'border-box', visibility: 'hidden',
        }, style);
        this.elements.push(element);
        this.stage.appendChild(element);
        return element;
    },

    // Run by the page as it loads: the stage at the design's scale, with the
    // ball on it where the program will start it, so that the first frame
    // shows it; the program takes it over as its own. The program's script
    // starts once that frame is on screen, or at once without a ball.
    prepare(designWidth, designHeight, ball, script) {
        this.design = { width: designWidth, height: designHeight };
        this.stage = document.createElement('div');
        Object.assign(this.stage.style, { position: 'fixed', left: '0', top: '0', transformOrigin: '0 0' });
        document.body.appendChild(this.stage);
        this.fit();
        let shown = Promise.resolve();
        if (ball) {
            const image = this.element('img', 'picBounce', ball.width, ball.height, { visibility: 'visible' });
            this.place(0, ball.left, ball.top);
            this.showArt();
            // A hidden page draws no frame: it starts the program anyway.
            const drawn = resolve => {
                requestAnimationFrame(() => setTimeout(resolve));
                setTimeout(resolve, 100);
            };
            shown = image.decode().catch(() => {}).then(() => new Promise(drawn));
        }
        if (script)
            shown.then(() => {
                const program = document.createElement('script');
                program.src = script;
                document.body.appendChild(program);
            });
    },

    start(designWidth, designHeight) {
        if (!this.stage)
            this.prepare(designWidth, designHeight, null);
        // Nothing of the browser's own takes a gesture on the page: no
        // scrolling, zoom or pull-to-refresh by touch, no menu on a long
        // press, no text selection, and the mouse's back and forward buttons
        // do not leave it.
        Object.assign(document.body.style, {
            touchAction: 'none', userSelect: 'none', webkitUserSelect: 'none', webkitTouchCallout: 'none',
        });
        document.documentElement.style.overscrollBehavior = 'none';
        const historyButton = event => { if (this.historyButtons.includes(event.button)) event.preventDefault(); };
        // [target, event type, listener, capture]: what end() takes off again.
        this.listeners = [
            [document, 'contextmenu', event => event.preventDefault(), false],
            ...this.historyEvents.map(type => [window, type, historyButton, true]),
            [window, 'blur', () => this.lose(), false],
            [document, 'visibilitychange', () => { if (document.hidden) this.lose(); }, false],
            [window, 'resize', () => { this.fit(); _zorbel_viewportChanged(); }, false],
        ];
        for (const [target, type, listener, capture] of this.listeners)
            target.addEventListener(type, listener, capture);
        this.fit(); // the viewport may have changed since the page prepared it
    },

    // The scale at which the whole design fits the viewport, never above 1,
    // and the stage as large as the viewport at that scale.
    fit() {
        const root = document.documentElement;
        const width = root.clientWidth;
        const height = root.clientHeight;
        this.scale = Math.min(1, width / this.design.width, height / this.design.height) || 1;
        // Kept, so that the ticks read no layout.
        this.client = { width: width / this.scale, height: height / this.scale };
        Object.assign(this.stage.style, {
            width: this.client.width + 'px', height: this.client.height + 'px',
            transform: this.scale === 1 ? '' : 'scale(' + this.scale + ')',
        });
        root.style.setProperty('--zorbel-scale', this.scale);
        this.showArt();
    },

    // The pictures for the pixel density the stage now has; a picture that
    // stays is not set again.
    showArt() {
        const [ball, , button] = this.elements;
        const show = (image, name) => {
            if (image && image.getAttribute('src') !== name)
                image.src = name;
        };
        show(ball, this.art('ball.bmp', 'ball@2x.png'));
        show(button && button.firstChild, this.art('close.ico', 'close@2x.png'));
    },

    createBall(width, height, name, description) {
        const prepared = this.elements[0];
        const ball = prepared || this.element('img', 'picBounce', width, height, {});
        // On a layer of its own: the compositor moves it, nothing is painted again.
        Object.assign(ball.style, { cursor: this.handCursor(), zIndex: '2', outline: 'none', willChange: 'transform' });
        ball.alt = name;
        ball.setAttribute('aria-description', description);
        ball.tabIndex = 0;
        ball.draggable = false;
        const mouseButtons = { 0: 1, 1: 4, 2: 2 };
        // A touch or a pen contact is the left button; the mouse's other
        // buttons (back, forward and beyond) go as 0, none of the program's.
        const button = event => event.pointerType === 'mouse' ? (mouseButtons[event.button] || 0) : 1;
        const held = event => event.pointerType === 'mouse' ? event.buttons & 7 : event.buttons & 1;
        ball.addEventListener('pointerdown', event => {
            // The browser would otherwise start a selection or an image drag,
            // and move the focus itself.
            event.preventDefault();
            // One pointer at a time: another finger's press is not the ball's.
            if (this.pointer !== null && this.pointer !== event.pointerId)
                return;
            if (this.deliver('press', button(event), held(event), event)) {
                this.pointer = event.pointerId;
                ball.setPointerCapture(event.pointerId);
                ball.focus();
            }
        });
        // Moves as they come rather than once a frame: the drag sampler
        // ticks every 10 ms and makes a throw of the last tick's movement.
        // (Secure pages only, 127.0.0.1 among them.)
        const moveEvent = 'onpointerrawupdate' in window ? 'pointerrawupdate' : 'pointermove';
        ball.addEventListener(moveEvent, event => {
            if (event.pointerId !== this.pointer)
                return;
            // Another mouse button pressed or released during a press arrives
            // as a move that names the button.
            if (event.button >= 0) {
                const changed = button(event);
                this.deliver(held(event) & changed ? 'press' : 'release', changed, held(event), event);
            } else {
                this.deliver('move', 0, held(event), event);
            }
        });
        ball.addEventListener('pointerup', event => {
            if (event.pointerId === this.pointer && this.deliver('release', button(event), 0, event))
                this.pointer = null;
        });
        ball.addEventListener('pointercancel', event => { if (event.pointerId === this.pointer) this.lose(); });
        ball.addEventListener('lostpointercapture', event => { if (event.pointerId === this.pointer) this.lose(); });
        ball.addEventListener('dragstart', event => event.preventDefault());
        this.showArt();
    },

    createLabel(width, height, text, colour, font) {
        const label = this.element('div', 'Label1', width, height, {
            color: colour, font: font, lineHeight: height + 'px', whiteSpace: 'nowrap', overflow: 'hidden', zIndex: '0',
        });
        label.textContent = text;
    },

    createButton(size, iconSize, touchTarget, colour, name, description) {
        const button = this.element('button', 'Command1', size, size, {
            background: colour, border: '2px outset ' + colour, padding: '0', cursor: this.handCursor(),
            display: 'grid', placeItems: 'center', zIndex: '1',
        });
        button.setAttribute('aria-label', name);
        button.setAttribute('aria-description', description);
        const icon = document.createElement('img');
        Object.assign(icon.style, { width: iconSize + 'px', height: iconSize + 'px', pointerEvents: 'none' });
        icon.alt = '';
        icon.draggable = false;
        button.appendChild(icon);
        // However small the stage, the button takes a tap on a square of at
        // least this many CSS pixels around its middle; its picture may be
        // smaller.
        const target = document.createElement('style');
        target.textContent = '#Command1::before { content: ""; position: absolute; left: 50%; top: 50%; '
            + 'width: max(100%, calc(' + touchTarget + 'px / var(--zorbel-scale))); '
            + 'height: max(100%, calc(' + touchTarget + 'px / var(--zorbel-scale))); transform: translate(-50%, -50%); }';
        document.head.appendChild(target);
        this.buttonStyle = target;
        button.addEventListener('click', () => _zorbel_closeClicked());
        // A tap on the button is its click, also while another finger holds
        // the ball: the browser then makes no click of it.
        const taps = new Set();
        button.addEventListener('pointerdown', event => { if (event.pointerType !== 'mouse') taps.add(event.pointerId); });
        button.addEventListener('pointercancel', event => taps.delete(event.pointerId));
        button.addEventListener('pointerup', event => {
            if (taps.delete(event.pointerId) && button.contains(document.elementFromPoint(event.clientX, event.clientY)))
                _zorbel_closeClicked();
        });
        this.showArt();
    },

    // The width in CSS pixels of the text in this CSS font.
    textWidth(font, text) {
        this.measure = this.measure || document.createElement('canvas').getContext('2d');
        const context = this.measure;
        context.font = font;
        return context.measureText(text).width;
    },

    place(index, left, top) {
        this.elements[index].style.transform = 'translate(' + left + 'px, ' + top + 'px)';
    },

    show(index, visible) {
        this.elements[index].style.visibility = visible ? 'visible' : 'hidden';
    },

    clientWidth() {
        return this.client.width;
    },

    clientHeight() {
        return this.client.height;
    },

    // True when the program's hold on the pointer began (a press) or ended
    // (a release) with this event.
    deliver(kind, button, held, event) {
        const corner = this.elements[0].getBoundingClientRect();
        const shift = (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0);
        return _zorbel_ballPointer(this.kinds[kind], button, held, shift,
            (event.clientX - corner.left) / this.scale, (event.clientY - corner.top) / this.scale) !== 0;
    },

    // The press on the ball ends without its release.
    lose() {
        if (this.pointer === null)
            return;
        const pointer = this.pointer;
        this.pointer = null;
        const ball = this.elements[0];
        if (ball.hasPointerCapture(pointer))
            ball.releasePointerCapture(pointer);
        _zorbel_ballPointer(this.kinds.lost, 0, 0, 0, 0, 0);
    },

    // The program has ended: nothing of it is left on the black page.
    end() {
        this.pointer = null;
        for (const element of this.elements)
            element.remove();
        this.elements = [];
        this.stage.remove();
        if (this.buttonStyle)
            this.buttonStyle.remove();
        for (const [target, type, listener, capture] of this.listeners)
            target.removeEventListener(type, listener, capture);
        // Closes a window that the page's own link opened; elsewhere the
        // browser refuses, and the black page stays.
        window.close();
    },

    // After a fatal error no event reaches the program again.
    stopInput() {
        for (const element of this.elements)
            element.style.pointerEvents = 'none';
        this.pointer = null;
    },
};
