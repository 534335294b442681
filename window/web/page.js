// The page's side of the browser build (window/web): the viewport is the
// window's client area, and the ball, the instruction line and the close
// button are elements placed on it in CSS pixels. The pictures come from the
// program as bytes and are shown through blob URLs. Pointer events on the
// ball and clicks on the button go back to the program.
var zorbelPage = {
    elements: [], // the ball, the label and the button, in PageElement order
    pictures: {}, // blob URLs by file name
    pointer: null, // the pointer whose press holds the ball
    last: { x: 0, y: 0, shift: 0 }, // where that pointer was last seen on the ball
    kinds: { press: 0, move: 1, release: 2, lost: 3 },

    picture(name, bytes) {
        const types = { bmp: 'image/bmp', png: 'image/png', ico: 'image/x-icon', cur: 'image/x-icon' };
        const type = types[name.split('.').pop()] || 'application/octet-stream';
        this.pictures[name] = URL.createObjectURL(new Blob([bytes], { type: type }));
    },

    handCursor() {
        return 'url(' + this.pictures['hand.cur'] + ') 5 0, pointer';
    },

    // The double-size art where a CSS pixel is two device pixels or more.
    art(name, name2x) {
        return window.devicePixelRatio >= 2 ? this.pictures[name2x] : this.pictures[name];
    },

    element(tag, width, height, style) {
        const element = document.createElement(tag);
        Object.assign(element.style, {
            position: 'fixed', left: '0', top: '0', width: width + 'px', height: height + 'px',
            margin: '0', boxSizing: 'border-box', visibility: 'hidden',
        }, style);
        this.elements.push(element);
        return element;
    },

    start() {
        const icon = document.createElement('link');
        icon.rel = 'icon';
        icon.href = this.pictures['ball.ico'];
        document.head.appendChild(icon);
        // Nothing of the browser's own takes a drag of the ball: no scrolling
        // or zoom by touch, no context menu, no text selection.
        Object.assign(document.body.style, { touchAction: 'none', userSelect: 'none', webkitUserSelect: 'none' });
        this.onContextMenu = event => event.preventDefault();
        this.onLeave = () => this.lose();
        this.onHidden = () => { if (document.hidden) this.lose(); };
        this.onResize = () => _zorbel_viewportChanged();
        document.addEventListener('contextmenu', this.onContextMenu);
        window.addEventListener('blur', this.onLeave);
        document.addEventListener('visibilitychange', this.onHidden);
        window.addEventListener('resize', this.onResize);
    },

    createBall(width, height, name, description) {
        const ball = this.element('img', width, height, { cursor: this.handCursor(), zIndex: '2', outline: 'none' });
        ball.src = this.art('ball.bmp', 'ball@2x.png');
        ball.alt = name;
        ball.setAttribute('aria-description', description);
        ball.tabIndex = 0;
        ball.draggable = false;
        const mouseButtons = { 0: 1, 1: 4, 2: 2 };
        // A touch or a pen contact is the left button.
        const button = event => event.pointerType === 'mouse' ? (mouseButtons[event.button] || 0) : 1;
        const held = event => event.pointerType === 'mouse' ? event.buttons & 7 : event.buttons & 1;
        ball.addEventListener('pointerdown', event => {
            // The browser would otherwise start a selection or an image drag,
            // and move the focus itself.
            event.preventDefault();
            if (this.pointer !== null && this.pointer !== event.pointerId)
                return;
            if (this.pointer === null) {
                this.pointer = event.pointerId;
                ball.setPointerCapture(event.pointerId);
                ball.focus();
            }
            this.deliver('press', button(event), held(event), event);
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
            if (event.pointerId !== this.pointer)
                return;
            this.pointer = null;
            this.deliver('release', button(event), 0, event);
        });
        ball.addEventListener('pointercancel', event => { if (event.pointerId === this.pointer) this.lose(); });
        ball.addEventListener('lostpointercapture', event => { if (event.pointerId === this.pointer) this.lose(); });
        ball.addEventListener('dragstart', event => event.preventDefault());
        document.body.appendChild(ball);
    },

    createLabel(width, height, text, colour, font) {
        const label = this.element('div', width, height, {
            color: colour, font: font, lineHeight: height + 'px', whiteSpace: 'nowrap', overflow: 'hidden', zIndex: '0',
        });
        label.textContent = text;
        document.body.appendChild(label);
    },

    createButton(size, iconSize, colour, name, description) {
        const button = this.element('button', size, size, {
            background: colour, border: '2px outset ' + colour, padding: '0', cursor: this.handCursor(),
            display: 'grid', placeItems: 'center', zIndex: '1',
        });
        button.setAttribute('aria-label', name);
        button.setAttribute('aria-description', description);
        const icon = document.createElement('img');
        Object.assign(icon.style, { width: iconSize + 'px', height: iconSize + 'px', pointerEvents: 'none' });
        icon.src = this.art('close.ico', 'close@2x.png');
        icon.alt = '';
        icon.draggable = false;
        button.appendChild(icon);
        button.addEventListener('click', () => _zorbel_closeClicked());
        document.body.appendChild(button);
    },

    // The width in CSS pixels of the text in this CSS font.
    textWidth(font, text) {
        const context = document.createElement('canvas').getContext('2d');
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
        return document.documentElement.clientWidth;
    },

    clientHeight() {
        return document.documentElement.clientHeight;
    },

    deliver(kind, button, held, event) {
        const corner = this.elements[0].getBoundingClientRect();
        this.last = {
            x: event.clientX - corner.left, y: event.clientY - corner.top,
            shift: (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0),
        };
        _zorbel_ballPointer(this.kinds[kind], button, held, this.last.shift, this.last.x, this.last.y);
    },

    // The press on the ball ends without its release, where it was last seen.
    lose() {
        if (this.pointer === null)
            return;
        const pointer = this.pointer;
        this.pointer = null;
        const ball = this.elements[0];
        if (ball.hasPointerCapture(pointer))
            ball.releasePointerCapture(pointer);
        _zorbel_ballPointer(this.kinds.lost, 1, 0, this.last.shift, this.last.x, this.last.y);
    },

    // The program has ended: nothing of it is left on the black page.
    end() {
        this.pointer = null;
        for (const element of this.elements)
            element.remove();
        this.elements = [];
        document.removeEventListener('contextmenu', this.onContextMenu);
        window.removeEventListener('blur', this.onLeave);
        document.removeEventListener('visibilitychange', this.onHidden);
        window.removeEventListener('resize', this.onResize);
        for (const name in this.pictures)
            URL.revokeObjectURL(this.pictures[name]);
        this.pictures = {};
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
